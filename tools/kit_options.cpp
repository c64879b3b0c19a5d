#include "tools/kit_options.h"

#include <limits>
#include <optional>
#include <stdexcept>

namespace tollwick::kit {

const char* const kKitHelp =
    R"(Usage: zelkor-kit make-install DIR [options]
  or:  zelkor-kit inspect FILE
  or:  zelkor-kit --help | --version
Make sample Zelkor installations and look inside game files.

make-install writes a complete installation into DIR: ZELKORSEC.so and Zelkor.dll
copied from zelkor-kit's own directory, tollwick from there or the directory above
it (where the packages keep it), System/ZelkorSystemMain.MSF,
System/Zelkor/ZelkorSystemHeader.MSF, ZELKORSystemData.DED, the six data files
protected with the system signature, and a bloated ZELKORCharacters.DED.

Options of make-install:
  --live N               live character records (default 3)
  --leading-spaces N     how many live names begin with spaces (default 0)
  --dead-empty-slot N    dead records that no slot points to any more (default 0)
  --dead-nul-name N      dead records in use whose name begins with NUL (default 0)
  --dead-spaces-name N   dead records in use whose name is all spaces (default 0)
  --gap BYTES            dead bytes before each record (default 0)
  --count N              the character count written (default: the slots in use)
  --size SIZE            total size of the character file, e.g. 256M (dead space is
                         shared out between the records)
  --seed N               layout of slots and records (default 1)
  --systems N            systems listed in the master system header (default 1)
  --blank-first-entry    list the first system with a name of spaces
  --system-name TEXT     text 1 of the system header (default "Zelkor")
  --second-text TEXT     text 2 (default "The Realms Below")
  --third-text TEXT      text 3 (default "Varnholt Interactive 1999")
  --signature-text TEXT  the signature text of the system data file
  --omit NAME            do not write the file NAME (repeatable)
  --foreign-signature NAME  protect data file NAME with another system's signature
  --unsigned NAME        protect data file NAME with signature 0 (repeatable)
  --damage NAME          damage the protected data of file NAME (repeatable)
  --language LANG        a localised game as installed on a system of that language:
                         ru (code page 1251), pl (1250) or ja (932). Its Zelkor.dll
                         (Zelkor-LANG.dll beside the kit) holds the strings in that
                         language, and the system's texts (the key text among them) are
                         written in that code page, as are the paths. Without it, the
                         system's own code page and the English strings.

DIR and the texts are given in UTF-8. A DIR the code page cannot name (a letter it
lacks) is refused before anything is written.

inspect tells whether FILE unprotects (with the fixed key, or with the system key
read from the ZelkorSystemHeader.MSF beside it) and which signature it carries; for a
character file also the count, the slots in use, live and dead records, names, dead
bytes and what a repair would keep. The file is never changed.
)";

namespace {

int64_t parseNumber(const std::string& option, const std::string& text, int64_t lowest,
                    int64_t highest) {
  size_t used = 0;
  int64_t value = 0;
  try {
    value = std::stoll(text, &used);
  } catch (const std::exception&) {
    used = 0;
  }
  if (used != text.size() || text.empty() || value < lowest || value > highest) {
    throw std::invalid_argument(option + ": not a number from " + std::to_string(lowest) + " to " +
                                std::to_string(highest) + ": " + text);
  }
  return value;
}

int parseCount(const std::string& option, const std::string& text) {
  return static_cast<int>(parseNumber(option, text, 0, 1000000));
}

}  // namespace

int64_t parseSize(const std::string& text) {
  if (text.empty()) throw std::invalid_argument("--size: empty");
  int64_t factor = 1;
  std::string digits = text;
  switch (text.back()) {
    case 'K':
    case 'k':
      factor = int64_t{1} << 10;
      break;
    case 'M':
    case 'm':
      factor = int64_t{1} << 20;
      break;
    case 'G':
    case 'g':
      factor = int64_t{1} << 30;
      break;
    default:
      break;
  }
  if (factor != 1) digits.pop_back();
  const int64_t value = parseNumber("--size", digits, 1, std::numeric_limits<int32_t>::max());
  if (value * factor > std::numeric_limits<int32_t>::max()) {
    throw std::invalid_argument("--size: positions must fit 32 bits: " + text);
  }
  return value * factor;
}

KitCommand parseKitCommand(const std::vector<std::string>& args) {
  KitCommand command;
  if (args.empty() || args[0] == "--help" || args[0] == "-h" || args[0] == "help") return command;
  if (args[0] == "--version") {
    command.kind = KitCommand::Kind::kVersion;
    return command;
  }
  const std::string& verb = args[0];
  if (verb == "inspect") {
    if (args.size() != 2) throw std::invalid_argument("inspect takes one FILE");
    command.kind = KitCommand::Kind::kInspect;
    command.target = args[1];
    return command;
  }
  if (verb != "make-install") throw std::invalid_argument("unknown command: " + verb);
  command.kind = KitCommand::Kind::kMakeInstall;

  InstallationOptions& options = command.options;
  CharacterFileOptions& c = options.characters;
  // Texts given by name win over the localisation's, whatever their order.
  std::optional<std::string> systemName, secondText, thirdText, signatureText;
  for (size_t i = 1; i < args.size(); ++i) {
    const std::string& arg = args[i];
    if (arg == "--help") {
      command.kind = KitCommand::Kind::kHelp;
      return command;
    }
    if (arg == "--blank-first-entry") {
      options.blankFirstEntry = true;
      continue;
    }
    if (arg.rfind("--", 0) != 0) {
      if (!command.target.empty()) throw std::invalid_argument("more than one DIR: " + arg);
      command.target = arg;
      continue;
    }
    if (i + 1 >= args.size()) throw std::invalid_argument(arg + " needs a value");
    const std::string& value = args[++i];
    if (arg == "--live")
      c.live = parseCount(arg, value);
    else if (arg == "--leading-spaces")
      c.leadingSpaces = parseCount(arg, value);
    else if (arg == "--dead-empty-slot")
      c.deadEmptySlot = parseCount(arg, value);
    else if (arg == "--dead-nul-name")
      c.deadNulName = parseCount(arg, value);
    else if (arg == "--dead-spaces-name")
      c.deadSpacesName = parseCount(arg, value);
    else if (arg == "--gap")
      c.gap = parseNumber(arg, value, 0, 1 << 30);
    else if (arg == "--count")
      c.count = static_cast<int16_t>(parseNumber(arg, value, -32768, 32767));
    else if (arg == "--size")
      c.size = parseSize(value);
    else if (arg == "--seed")
      c.seed = static_cast<uint32_t>(parseNumber(arg, value, 0, 1LL << 32));
    else if (arg == "--systems")
      options.systems = static_cast<int>(parseNumber(arg, value, 1, 1000));
    else if (arg == "--system-name")
      systemName = value;
    else if (arg == "--second-text")
      secondText = value;
    else if (arg == "--third-text")
      thirdText = value;
    else if (arg == "--signature-text")
      signatureText = value;
    else if (arg == "--language") {
      command.localization = localizationOf(value);
      if (command.localization == nullptr) {
        throw std::invalid_argument("--language: one of " + std::string(knownLanguages()) + ": " +
                                    value);
      }
    } else if (arg == "--omit")
      options.omit.insert(value);
    else if (arg == "--foreign-signature")
      options.foreignSignature.insert(value);
    else if (arg == "--unsigned")
      options.unsignedFiles.insert(value);
    else if (arg == "--damage")
      options.damaged.insert(value);
    else
      throw std::invalid_argument("unknown option: " + arg);
  }
  if (command.target.empty()) throw std::invalid_argument("make-install needs a DIR");
  if (const Localization* l = command.localization) {
    options.resourceLibrary = l->library;
    options.systemName = l->systemName;
    options.secondText = l->secondText;
    options.thirdText = l->thirdText;
    options.signatureText = l->signatureText;
  }
  if (systemName) options.systemName = *systemName;
  if (secondText) options.secondText = *secondText;
  if (thirdText) options.thirdText = *thirdText;
  if (signatureText) options.signatureText = *signatureText;
  return command;
}

}  // namespace tollwick::kit
