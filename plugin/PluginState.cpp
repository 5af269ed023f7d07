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
