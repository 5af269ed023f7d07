#include "PluginState.h"

PDEChoiceArray outputcolorChoices, imagequalityChoices, imagetypeChoices, imageadjustChoices, screenChoices,
    tonersaveChoices, GrayGuaranteeChoices;
ppd_file_t* BrisaRefppd = nullptr;
std::array<ppd_option_t*, kDensityCount> ColorDensityOption{};
std::array<int64_t, kDensityCount> ColorDensitySetting{};
std::optional<std::vector<int>> ColorBlanceRes;
int32_t CBColorMode = 0;
bool CBstate = false;
int32_t CBtarget = 0;
int32_t stateEnableButton = 0;
int32_t statetargetColorButton = 0;

std::shared_ptr<PDEBundle> pluginBundle;
PDEChoiceArray jobtypeChoices, jobnameChoices;
ppd_option_t *jobnameOption = nullptr, *jobidOption = nullptr, *secureprintOption = nullptr, *newjobOption = nullptr;
int32_t secureIndex = 0;
int32_t firstRun = 0;
int32_t jobnameMode = 0;
std::optional<QVariantList> response;
std::optional<QString> docName;
QString gUserID, gPasscode, gJobName;
