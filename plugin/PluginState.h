// The plug-in-wide state: one instance in the loaded plug-in, shared by the
// panel made last and the dialogs it opens. The densities, the committed
// Color Balance answer and the dialog's remembered controls outlive a panel.
#pragma once

#include "PDEChoice.h"

#include <QString>
#include <QVariant>
#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

class PDEBundle;

// The twelve densities in density order: Black, Cyan, Magenta, Yellow; Low,
// Mid, High within each (index = 3 * colour + level).
inline constexpr int kDensityCount = 12;

// ---------------------------------------------------------------------------
// Image Options and Color Balance

// One PDEChoice per choice of each pop-up's option; pop-up item k carries
// entry k. Made anew by every Image Options panel.
extern PDEChoiceArray outputcolorChoices, imagequalityChoices, imagetypeChoices, imageadjustChoices,
    screenChoices, tonersaveChoices, GrayGuaranteeChoices;
// The current printer's PPD (the host's), set by every new panel.
extern ppd_file_t* BrisaRefppd;
// ColorDensityBlackLowOption ... ColorDensityYellowHighOption, density order.
extern std::array<ppd_option_t*, kDensityCount> ColorDensityOption;
// ColorDensityBlackLowSetting ... ColorDensityYellowHighSetting, -3 to 3.
extern std::array<int64_t, kDensityCount> ColorDensitySetting;
// The committed densities (density order), none until the dialog's OK.
extern std::optional<std::vector<int>> ColorBlanceRes;
extern int32_t CBColorMode; // 0 while the colour mode is "RGB", else 1
extern bool CBstate;        // the dialog's Enable box at its last OK
extern int32_t CBtarget;    // the dialog's target colour at its last OK
extern int32_t stateEnableButton;      // persisted Enable box, 0 or 1
extern int32_t statetargetColorButton; // persisted target colour

// ---------------------------------------------------------------------------
// Job Type and Secure Print

// The plug-in bundle of the Job Type panel and its setup dialog.
extern std::shared_ptr<PDEBundle> pluginBundle;
// One PDEChoice per choice of "JobType" and "JobNameMode".
extern PDEChoiceArray jobtypeChoices, jobnameChoices;
// "JobNameMode", "UserID", "SecurePrintPasscode" and "NewJob", or null.
extern ppd_option_t *jobnameOption, *jobidOption, *secureprintOption, *newjobOption;
extern int32_t secureIndex; // the job-type item the user chose last
extern int32_t firstRun;    // 1 once a Job Type panel was shown
extern int32_t jobnameMode; // 0 "Use Existing Name", 1 "Enter Name Mode"
// The setup dialog's last valid OK: the name mode (int), the user ID, the
// passcode, then (name mode 1) the entered job name, then the title of the
// chosen name mode. None before the first valid OK; kept in memory only.
extern std::optional<QVariantList> response;
extern std::optional<QString> docName; // the job-name field at the last valid OK
// The user ID, passcode and job name last handed to the PPD.
extern QString gUserID, gPasscode, gJobName;
