#include "maptools/command_line.h"

#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <cstring>

namespace {

struct CommandHelp {
    const char* name;
    const char* usage;    // after the command's name
    const char* options;  // the options the command takes, space-separated
    const char* text;     // what it does
};

const CommandHelp kCommands[] = {
    {"import", "<src> <out.map> [--type N] [--mat] [--band B] [--reproject [--resampling M] [--cell-size DEG]]\n"
               "                    [--crop] [--fill-voids [--max-distance N]] [--void-value V] [-q]",
     "--type --mat --band --reproject --resampling --cell-size --crop --fill-voids --max-distance --void-value -q --quiet",
     "Imports any raster GDAL reads, north-up in WGS 84 (or warped to it with --reproject,\n"
     "as gdalwarp -t_srs EPSG:4326 -r bilinear does; --resampling nearest, bilinear or cubic,\n"
     "--cell-size in degrees). Voids are refused unless --fill-voids fills them from their\n"
     "neighbours (up to --max-distance N cells away, 100 by default) or --void-value V stores\n"
     "them as V, which the map then remembers; both together fill what can be filled and keep\n"
     "the rest as voids. --crop keeps the largest north-up rectangle that holds no void (a\n"
     "warp's empty corners). The band's scale, offset and unit (metres or feet) are applied.\n"},
    {"export", "<in.map> <out> [--format F] [-co NAME=VALUE]... [--accept-loss] [-q]", "--format -co --accept-loss -q --quiet",
     "Writes the map as int16 through a GDAL driver chosen by the output's extension\n"
     "(--format F names one; raw writes the grid and a JSON sidecar). -co passes creation\n"
     "options to the driver. The map's void value becomes the band's NoData value. A format\n"
     "that cannot keep every height and void is refused unless --accept-loss is given.\n"},
    {"info", "<in.map> [-q]", "-q --quiet",
     "Describes the map as gdalinfo describes a raster: size, corners (longitude, latitude),\n"
     "cell size, void value, minimum, maximum, mean and voids, the saves and the warnings.\n"},
    {"compact", "<in.map> [<out.map>] [--drop-damaged] [--use-older-copies] [-q]",
     "--drop-damaged --use-older-copies -q --quiet",
     "Rewrites the map as one save holding the newest copy of each block. A block without a\n"
     "readable copy is refused unless --drop-damaged leaves it out; a block whose newest copy\n"
     "is damaged is refused unless --use-older-copies writes its older copy.\n"},
    {"recover", "<in.map> <out.map> [--georef SIDECAR.json [--type N] [--mat]] [--take-uncommitted]\n"
                "                    [--void-value V | --no-void-value] [-q]",
     "--georef --type --mat --take-uncommitted --void-value --no-void-value -q --quiet",
     "Rebuilds a damaged map into a new file from every intact block record of its committed\n"
     "saves (--take-uncommitted: of saves that never committed too, each such block named).\n"
     "--void-value V or --no-void-value states the void value when the map cannot tell it.\n"
     "Exits with 1 when blocks are lost.\n"},
    {"from-raw", "<grid.raw> <sidecar.json> <out.map> [--type N] [--mat] [-q]", "--type --mat -q --quiet",
     "Makes a map from a little-endian int16 grid and its JSON sidecar.\n"},
    {"synthetic", "<width> <height> <out.map> [--type N] [--mat] [-q]", "--type --mat -q --quiet",
     "Makes a deterministic landscape of the given size.\n"},
};

// The commands that write a map, each of which takes --no-lock.
const char* const kMapWriters[] = {"import", "compact", "recover", "from-raw", "synthetic"};
const char kNoLockHelp[] =
    "  --no-lock      write the map even where its file system cannot lock it (some network\n"
    "                 mounts cannot); only when no other program writes the map meanwhile\n";

bool WritesMaps(const std::string& command) {
    for (const char* writer : kMapWriters) {
        if (command == writer) return true;
    }
    return false;
}

const CommandHelp* FindCommand(const std::string& name) {
    for (const CommandHelp& command : kCommands) {
        if (name == command.name) return &command;
    }
    return nullptr;
}

bool Takes(const CommandHelp& command, const std::string& option) {
    if (option == "--no-lock") return WritesMaps(command.name);
    std::string list = std::string(" ") + command.options + " ";
    return list.find(" " + option + " ") != std::string::npos;
}

bool ParseInteger(const char* text, long long low, long long high, long long* value) {
    if (*text == '\0') return false;
    errno = 0;
    char* end = nullptr;
    *value = std::strtoll(text, &end, 10);
    return errno == 0 && *end == '\0' && *value >= low && *value <= high;
}

// Reads the option at argv[*i] (with its value, if it takes one) into *options.
bool ReadOption(int argc, const char* const* argv, int* i, ToolOptions* options, std::string* error) {
    const std::string name = argv[*i];
    if (name == "--mat") return options->map.mat = options->import.matGiven = true, true;
    if (name == "--reproject") return options->import.reproject = true, true;
    if (name == "--fill-voids") return options->import.fillVoids = true, true;
    if (name == "--crop") return options->import.crop = true, true;
    if (name == "--accept-loss") return options->exporting.acceptLoss = true, true;
    if (name == "--drop-damaged") return options->dropDamaged = true, true;
    if (name == "--no-lock") return options->noLock = true, true;
    if (name == "--use-older-copies") return options->useOlderCopies = true, true;
    if (name == "--take-uncommitted") return options->takeUncommitted = true, true;
    if (name == "--no-void-value") return options->noVoidValue = true, true;
    if (name == "-q" || name == "--quiet") return options->quiet = true, true;
    if (*i + 1 >= argc) return *error = name + " needs a value", false;
    const char* value = argv[++*i];
    long long number = 0;
    if (name == "--type") {
        if (!ParseInteger(value, 0, UINT32_MAX, &number)) return *error = "--type needs a number 0..4294967295", false;
        options->import.typeGiven = true;
        return options->map.mapType = options->import.mapType = static_cast<uint32_t>(number), true;
    }
    if (name == "--band") {
        if (!ParseInteger(value, 1, 65535, &number)) return *error = "--band needs a number 1..65535", false;
        return options->import.band = static_cast<int>(number), true;
    }
    if (name == "--void-value") {
        if (!ParseInteger(value, -32768, 32767, &number)) return *error = "--void-value needs a number -32768..32767", false;
        options->import.setVoids = true;
        return options->import.voidValue = static_cast<int16_t>(number), true;
    }
    if (name == "--resampling") {
        std::string method = value;
        if (method != "nearest" && method != "bilinear" && method != "cubic") {
            return *error = "--resampling takes nearest, bilinear or cubic, not " + method, false;
        }
        options->givenResampling = true;
        return options->import.resampling = method, true;
    }
    if (name == "--cell-size") {
        char* end = nullptr;
        double degrees = std::strtod(value, &end);
        if (*end != '\0' || !std::isfinite(degrees) || !(degrees > 0.0)) {
            return *error = "--cell-size needs a positive number of degrees", false;
        }
        options->givenCellSize = true;
        return options->import.cellSize = degrees, true;
    }
    if (name == "--max-distance") {
        char* end = nullptr;
        double cells = std::strtod(value, &end);
        if (*end != '\0' || !std::isfinite(cells) || !(cells > 0.0) || cells > kMaxFillDistance) {
            return *error = "--max-distance needs a number of cells above 0, at most " + std::to_string(kMaxFillDistance), false;
        }
        options->givenMaxDistance = true;
        return options->import.maxDistance = cells, true;
    }
    if (name == "--georef") return options->georef = value, true;
    if (name == "--format") return options->exporting.format = value, true;
    if (name == "-co") {
        if (std::strchr(value, '=') == nullptr || *value == '=') return *error = "-co needs NAME=VALUE", false;
        return options->exporting.creationOptions.push_back(value), true;
    }
    return *error = "unknown option " + name, false;
}

bool PositionalCountFits(const std::string& command, size_t count) {
    if (command == "info") return count == 1;
    if (command == "compact") return count == 1 || count == 2;
    if (command == "from-raw" || command == "synthetic") return count == 3;
    return count == 2;
}

}  // namespace

std::string UsageText(const std::string& name) {
    const CommandHelp* command = FindCommand(name);
    if (command != nullptr) {
        std::string text = std::string("usage: zolva-make-map ") + command->name + " " + command->usage + "\n\n" +
                           command->text;
        return WritesMaps(command->name) ? text + "\n" + kNoLockHelp : text;
    }
    std::string text = "usage: zolva-make-map <command> [options]   (zolva-make-map <command> --help for more)\n\n";
    for (const CommandHelp& c : kCommands) text += std::string("  zolva-make-map ") + c.name + " " + c.usage + "\n";
    return text + "\n  --help, -h     this text\n  --version      the tool's and GDAL's versions\n" + kNoLockHelp;
}

ParseOutcome ParseCommandLine(int argc, const char* const* argv, ToolOptions* options, std::string* text) {
    *options = ToolOptions();
    if (argc < 2) return *text = UsageText(""), ParseOutcome::kUsageError;
    const std::string first = argv[1];
    if (first == "--help" || first == "-h") return *text = UsageText(""), ParseOutcome::kPrinted;
    if (first == "--version") return *text = std::string("zolva-make-map ") + kMapToolVersion + "\n", ParseOutcome::kPrinted;
    const CommandHelp* command = FindCommand(first);
    if (command == nullptr) {
        *text = (first[0] == '-' ? "unknown option " : "unknown command ") + first + "\n\n" + UsageText("");
        return ParseOutcome::kUsageError;
    }
    options->command = first;
    for (int i = 2; i < argc; ++i) {
        std::string arg = argv[i];
        if (arg == "--help" || arg == "-h") return *text = UsageText(first), ParseOutcome::kPrinted;
        if (arg.size() < 2 || arg[0] != '-') {
            options->positional.push_back(arg);
            continue;
        }
        if (!Takes(*command, arg)) {
            bool known = false;
            for (const CommandHelp& other : kCommands) known = known || Takes(other, arg);
            *text = known ? arg + " does not apply to " + first : "unknown option " + arg;
            return *text += "\n\n" + UsageText(first), ParseOutcome::kUsageError;
        }
        if (!ReadOption(argc, argv, &i, options, text)) return *text += "\n\n" + UsageText(first), ParseOutcome::kUsageError;
    }
    const char* alone = options->givenResampling && !options->import.reproject   ? "--resampling needs --reproject"
                        : options->givenCellSize && !options->import.reproject     ? "--cell-size needs --reproject"
                        : options->givenMaxDistance && !options->import.fillVoids  ? "--max-distance needs --fill-voids"
                                                                                    : nullptr;
    if (alone == nullptr && options->noVoidValue && options->import.setVoids) alone = "--void-value and --no-void-value contradict each other";
    if (alone != nullptr) return *text = std::string(alone) + "\n\n" + UsageText(first), ParseOutcome::kUsageError;
    if (!PositionalCountFits(first, options->positional.size())) {
        return *text = "wrong number of arguments\n\n" + UsageText(first), ParseOutcome::kUsageError;
    }
    options->import.mat = options->map.mat;
    options->import.mapType = options->map.mapType;
    return ParseOutcome::kRun;
}
