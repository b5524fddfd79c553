# Sourced by the bench scripts. usage: write_medium_settings FILE SOURCE DESTINATION
# Writes a settings file that makes morvane-batch convert SOURCE into DESTINATION/morvane.flv
# at the original size and the Medium profile, stereo.
write_medium_settings() {
    cat > "$1" <<SETTINGS
"Mode"=dword:00000000
"Source File"="$2"
"Destination Path"="$3"
"Destination File"="morvane.flv"
"Size Mode"=dword:00000002
"Width"=dword:00000140
"Height"=dword:000000f0
"Profile"=dword:00000002
"Video Quality"=dword:00000190
"Audio Quality"=dword:00000060
"Custom Video Quality"=dword:00000190
"Custom Audio Quality"=dword:00000060
"Audio Mode"=dword:00000001
"Custom Audio Mode"=dword:00000001
SETTINGS
}
