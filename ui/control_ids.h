#pragma once

namespace morvane::ui {

// The identifiers of the dialog's controls. -1 is shared by the controls that nothing
// addresses (labels, group boxes).
enum ControlId : int {
    kUnaddressed = -1,
    kSourceField = 1002,
    kConvertButton = 1003,
    kPicture = 1004,
    kProgressBar = 1005,
    kSourceBrowse = 1006,
    kDestinationField = 1007,
    kDestinationBrowse = 1008,
    kFileNameField = 1009,
    kLogWindow = 1010,
    kExitButton = 1011,
    kSourceModeList = 1012,
    kTimeLeftLabel = 1013,
    kWidthField = 1014,
    kHeightField = 1015,
    kProfileList = 1016,
    kAudioModeList = 1017,
    kVideoQualityField = 1018,
    kAudioQualityField = 1019,
    kSizeList = 1020,
    kVideoQualityArrows = 1021,
    kWidthArrows = 1022,
    kHeightArrows = 1023,
    kAudioQualityArrows = 1024,
    kLinkLabel = 1025,
    kFormatList = 1026,
    kFileCounterLabel = 1027,
    kBatchLeftLabel = 1028,
    kSubFoldersBox = 1029,
};

}  // namespace morvane::ui
