#pragma once

#include <string_view>

namespace morvane::keys {

// Numbers.
inline constexpr std::string_view kSizeMode = "Size Mode";
inline constexpr std::string_view kWidth = "Width";
inline constexpr std::string_view kHeight = "Height";
inline constexpr std::string_view kProfile = "Profile";
inline constexpr std::string_view kVideoQuality = "Video Quality";
inline constexpr std::string_view kAudioQuality = "Audio Quality";
inline constexpr std::string_view kCustomVideoQuality = "Custom Video Quality";
inline constexpr std::string_view kCustomAudioQuality = "Custom Audio Quality";
inline constexpr std::string_view kMode = "Mode";
inline constexpr std::string_view kAudioMode = "Audio Mode";
inline constexpr std::string_view kCustomAudioMode = "Custom Audio Mode";
inline constexpr std::string_view kCodec = "Codec";
inline constexpr std::string_view kIncludeSubfolders = "Include Subfolders";

// Texts.
inline constexpr std::string_view kSource = "Source";
inline constexpr std::string_view kSourceFile = "Source File";
inline constexpr std::string_view kSourceDirectory = "Source Directory";
inline constexpr std::string_view kDestinationPath = "Destination Path";
inline constexpr std::string_view kDestinationFile = "Destination File";

}  // namespace morvane::keys
