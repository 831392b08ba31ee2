# Sources free of the platform API: text and value logic that also builds
# natively (tests/native) with sanitizers.
set(VEXA_PORTABLE_SOURCES
  foundation/Text.cpp
  foundation/PathText.cpp
  foundation/CommandLine.cpp
  launcher/ForwardedArguments.cpp
  launcher/InstanceName.cpp
  config/SettingsBlock.cpp
  config/SettingsText.cpp
  config/ProfileText.cpp
  config/ProfileWriter.cpp
  foundation/Crypto.cpp
  foundation/JavaVersion.cpp
  jvm/ClassPathText.cpp
  jvm/EnvironmentReferences.cpp
  jvm/LibraryPathText.cpp
  jvm/MemoryOptions.cpp
  jvm/VmParameters.cpp
  jvm/DatePicture.cpp
  jvm/ModifiedUtf8.cpp
  jre/JreSelection.cpp
  jre/CommonRuntimes.cpp
  splash/ImageHeader.cpp
  ui/LinkColour.cpp
)
