#pragma once
// Ids of the game strings: entries of the string table of the game's resource library
// that the program shows or stores.

#include <cstdint>
#include <string>

namespace tollwick {

namespace gs {
inline constexpr int32_t kWipeRootFile = 253;    // file looked for in the system root
inline constexpr int32_t kWipeSystemFile = 254;  // file looked for in "Zelkor\"
inline constexpr int32_t kWipePrompt = 255;      // the wipe question
inline constexpr int32_t kWipeCaption = 256;
inline constexpr int32_t kWipeRootTest = 257;     // tested in the system root ...
inline constexpr int32_t kWipeRootPattern = 258;  // ... then this pattern deleted there
inline constexpr int32_t kWipeSystemTest = 259;   // the same in "Zelkor\"
inline constexpr int32_t kWipeSystemPattern = 260;
inline constexpr int32_t kWipeDoneValue = 261;  // written to "WipeSystem" afterwards
inline constexpr int32_t kDefaultSystemName = 263;
inline constexpr int32_t kSettingsErrorOpening = 264;
inline constexpr int32_t kMasterHeaderFailed = 931;
inline constexpr int32_t kMasterHeaderFailedCaption = 932;
inline constexpr int32_t kSystemLoadFailedUnprotect = 952;  // result -2
inline constexpr int32_t kSystemLoadFailedOther = 953;      // any other non-zero result
inline constexpr int32_t kSystemLoadErrorCaption = 955;
inline constexpr int32_t kStartupErrorCaption = 964;
inline constexpr int32_t kSystemHeaderNotLoaded = 3078;
inline constexpr int32_t kNotInstalledCaption = 3081;
inline constexpr int32_t kDataFilesFailed1 = 3084;  // 3084 to 3088 joined make the prompt
inline constexpr int32_t kDataFilesFailed5 = 3088;
inline constexpr int32_t kDataFilesFailedCaption = 3089;
inline constexpr int32_t kCharacterFileLocked = 3257;
}  // namespace gs

// Every game string id the program reads, in ascending order.
inline constexpr int32_t kAllGameStringIds[] = {253,  254,  255,  256,  257,  258,  259,  260, 261,
                                                263,  264,  931,  932,  952,  953,  955,  964, 3078,
                                                3081, 3084, 3085, 3086, 3087, 3088, 3089, 3257};

// Game string `id`: gResource.LoadDllString(id, 10000), used as returned (not
// trimmed; empty when the library lacks it).
std::string gameString(int32_t id);

}  // namespace tollwick
