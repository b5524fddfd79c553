#pragma once

#include <array>
#include <string_view>

#include "ui/control_ids.h"

namespace morvane::ui {

enum class ControlKind {
    kList,           // drop-down list
    kReadOnlyField,  // single-line edit the user cannot type in
    kTextField,      // single-line edit
    kNumberField,    // digits only, with the arrow pair that follows it
    kArrows,         // the up-down pair of the number field just before it
    kPushButton,
    kLogWindow,
    kProgressBar,
    kLabel,
    kGroupBox,
    kPicture,  // an empty picture control
    kLink,     // a label that opens the product's web address
    kCheckBox,
};

// A rectangle in dialog units: a horizontal unit is a quarter of the font's average character
// width, a vertical unit an eighth of its height.
struct DialogRect {
    int x;
    int y;
    int width;
    int height;
};

struct TemplateControl {
    ControlId id;
    ControlKind kind;
    std::string_view caption;
    DialogRect rect;
    // The object name: what the control is, and its identifier where it has one.
    std::string_view name;
};

inline constexpr std::string_view kDialogCaption = "Morvane, v1.0 Build 107";
inline constexpr int kDialogWidth = 398;  // dialog units
inline constexpr int kDialogHeight = 330;

// The dialog's controls in template order, which is also the tab order.
inline constexpr std::array<TemplateControl, 48> kDialogTemplate{{
    {kSourceModeList, ControlKind::kList, "", {15, 20, 70, 67}, "sourceMode1012"},
    {kSubFoldersBox,
     ControlKind::kCheckBox,
     "Include sub-folders",
     {92, 21, 87, 10},
     "subFolders1029"},
    {kSourceField, ControlKind::kReadOnlyField, "", {15, 42, 141, 12}, "source1002"},
    {kSourceBrowse, ControlKind::kPushButton, "...", {161, 42, 18, 12}, "chooseSource1006"},
    {kDestinationField, ControlKind::kReadOnlyField, "", {15, 91, 141, 12}, "destination1007"},
    {kDestinationBrowse,
     ControlKind::kPushButton,
     "...",
     {161, 91, 18, 12},
     "chooseDestination1008"},
    {kFileNameField, ControlKind::kTextField, "", {15, 120, 162, 12}, "fileName1009"},
    {kWidthField, ControlKind::kNumberField, "", {323, 53, 44, 13}, "width1014"},
    {kWidthArrows, ControlKind::kArrows, "", {365, 51, 11, 11}, "widthArrows1022"},
    {kHeightField, ControlKind::kNumberField, "", {323, 72, 44, 13}, "height1015"},
    {kHeightArrows, ControlKind::kArrows, "", {365, 70, 11, 11}, "heightArrows1023"},
    {kProfileList, ControlKind::kList, "", {205, 107, 175, 67}, "profile1016"},
    {kFormatList, ControlKind::kList, "", {15, 152, 162, 67}, "format1026"},
    {kVideoQualityField, ControlKind::kNumberField, "", {323, 126, 43, 13}, "videoQuality1018"},
    {kVideoQualityArrows, ControlKind::kArrows, "", {366, 126, 11, 11}, "videoQualityArrows1021"},
    {kAudioQualityField, ControlKind::kNumberField, "", {323, 143, 43, 13}, "audioQuality1019"},
    {kAudioQualityArrows, ControlKind::kArrows, "", {366, 142, 11, 11}, "audioQualityArrows1024"},
    {kAudioModeList, ControlKind::kList, "", {323, 160, 60, 67}, "audioMode1017"},
    {kLogWindow, ControlKind::kLogWindow, "", {15, 222, 367, 61}, "log1010"},
    {kConvertButton, ControlKind::kPushButton, "Convert!", {7, 309, 52, 14}, "convert1003"},
    {kExitButton, ControlKind::kPushButton, "Exit", {339, 309, 52, 14}, "exit1011"},
    {kUnaddressed, ControlKind::kLabel, "px", {371, 56, 9, 8}, "widthUnit"},
    {kUnaddressed, ControlKind::kLabel, "px", {371, 74, 9, 8}, "heightUnit"},
    {kUnaddressed, ControlKind::kLabel, "KBps", {369, 131, 16, 8}, "videoQualityUnit"},
    {kProgressBar, ControlKind::kProgressBar, "", {49, 192, 333, 8}, "progress1005"},
    {kUnaddressed, ControlKind::kLabel, "KBps", {369, 145, 16, 8}, "audioQualityUnit"},
    {kUnaddressed, ControlKind::kGroupBox, " FROM ", {7, 7, 181, 54}, "fromGroup"},
    {kUnaddressed, ControlKind::kGroupBox, " TO ", {7, 65, 181, 113}, "toGroup"},
    {kUnaddressed,
     ControlKind::kLabel,
     "Choose destination directory",
     {15, 78, 93, 8},
     "destinationLabel"},
    {kUnaddressed, ControlKind::kLabel, "Output video width", {206, 55, 62, 8}, "widthLabel"},
    {kUnaddressed, ControlKind::kLabel, "Output video height", {206, 73, 65, 8}, "heightLabel"},
    {kUnaddressed, ControlKind::kLabel, "Video quality", {206, 129, 42, 8}, "videoQualityLabel"},
    {kUnaddressed, ControlKind::kLabel, "Audio quality", {206, 147, 42, 8}, "audioQualityLabel"},
    {kPicture, ControlKind::kPicture, "", {150, 310, 15, 13}, "picture1004"},
    {kUnaddressed, ControlKind::kLabel, "Filename", {15, 107, 93, 8}, "fileNameLabel"},
    {kUnaddressed, ControlKind::kGroupBox, " LOG ", {7, 180, 384, 110}, "logGroup"},
    {kUnaddressed, ControlKind::kLabel, "Progress", {14, 192, 29, 8}, "progressLabel"},
    {kUnaddressed, ControlKind::kLabel, "Time Left", {14, 207, 30, 8}, "timeLeftCaption"},
    {kTimeLeftLabel, ControlKind::kLabel, "00:00:00", {50, 207, 40, 8}, "timeLeft1013"},
    {kFileCounterLabel, ControlKind::kLabel, "", {110, 207, 80, 8}, "fileCounter1027"},
    {kBatchLeftLabel, ControlKind::kLabel, "", {200, 207, 110, 8}, "batchLeft1028"},
    {kLinkLabel, ControlKind::kLink, "Powered by Quillon", {314, 296, 77, 8}, "link1025"},
    {kUnaddressed,
     ControlKind::kLabel,
     "Please select Flash Video encoding profile:",
     {206, 91, 136, 8},
     "profileLabel"},
    {kUnaddressed, ControlKind::kLabel, "Audio mode", {206, 164, 38, 8}, "audioModeLabel"},
    {kUnaddressed,
     ControlKind::kLabel,
     "Please select Flash Video format:",
     {15, 140, 162, 8},
     "formatLabel"},
    {kSizeList, ControlKind::kList, "", {205, 35, 175, 67}, "size1020"},
    {kUnaddressed,
     ControlKind::kLabel,
     "Please select Flash Video size:",
     {206, 19, 97, 8},
     "sizeLabel"},
    {kUnaddressed, ControlKind::kGroupBox, " SETTINGS ", {196, 7, 195, 171}, "settingsGroup"},
}};

// What a screen reader calls each addressed control, from the caption that goes with it; empty
// for a control that says it itself (a button or label with its caption).
constexpr std::string_view accessibleNameOf(ControlId id) {
    switch (id) {
        case kSourceModeList:
            return "Source mode";
        case kSourceField:
            return "Source";
        case kSourceBrowse:
            return "Choose source";
        case kDestinationField:
            return "Choose destination directory";
        case kDestinationBrowse:
            return "Choose destination directory";
        case kFileNameField:
            return "Filename";
        case kWidthField:
        case kWidthArrows:
            return "Output video width";
        case kHeightField:
        case kHeightArrows:
            return "Output video height";
        case kProfileList:
            return "Please select Flash Video encoding profile:";
        case kFormatList:
            return "Please select Flash Video format:";
        case kVideoQualityField:
        case kVideoQualityArrows:
            return "Video quality";
        case kAudioQualityField:
        case kAudioQualityArrows:
            return "Audio quality";
        case kAudioModeList:
            return "Audio mode";
        case kSizeList:
            return "Please select Flash Video size:";
        case kLogWindow:
            return "Log";
        case kProgressBar:
            return "Progress";
        case kTimeLeftLabel:  // not "Time Left": its caption is a label of its own
            return "Time left for this file";
        case kFileCounterLabel:
            return "File";
        case kBatchLeftLabel:
            return "Batch time left";
        case kPicture:
            return "Morvane";
        default:
            return {};
    }
}

// The template row of an addressed control; null for an identifier the template lacks.
constexpr const TemplateControl* templateRow(ControlId id) {
    for (const TemplateControl& control : kDialogTemplate) {
        if (control.id == id && id != kUnaddressed) {
            return &control;
        }
    }
    return nullptr;
}

}  // namespace morvane::ui
