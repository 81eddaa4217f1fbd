// The menu font for tests: placed as fonts/CharisSILR.ttf beside the test executable, where the
// program looks for it, and read directly from the TrueType file for its real metrics.
#pragma once

#include "platform/working_directory.h"

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <string>
#include <system_error>
#include <vector>

// Links <test executable folder>/fonts/CharisSILR.ttf to the font the build placed for the program.
inline void installTestFont()
{
    const std::filesystem::path folder = std::filesystem::path(executableFolder()) / "fonts";
    std::error_code ignored; // a test running in parallel may have made them already
    std::filesystem::create_directories(folder, ignored);
    std::filesystem::create_symlink(TESSALY_FONT_FILE, folder / "CharisSILR.ttf", ignored);
}

// The few metrics of a TrueType font that the text functions are checked against, in font units.
class TrueTypeMetrics {
public:
    struct Box {
        int xMin = 0, yMin = 0, xMax = 0, yMax = 0;
    };

    explicit TrueTypeMetrics(const std::string& path)
    {
        std::ifstream file(path, std::ios::binary);
        data.assign(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
        const unsigned tableCount = u16(4);
        for (unsigned i = 0; i < tableCount; ++i) {
            const size_t entry = 12 + 16 * size_t{i};
            tables[std::string(data.begin() + entry, data.begin() + entry + 4)] = u32(entry + 8);
        }
        unitsPerEm = static_cast<int>(u16(tables["head"] + 18));
        longLoca = s16(tables["head"] + 50) != 0;
        horizontalMetrics = static_cast<int>(u16(tables["hhea"] + 34));
        capHeight = s16(tables["OS/2"] + 88);
    }

    // Glyph index of a character through the Windows Unicode cmap (format 4).
    int glyph(char c) const
    {
        const unsigned code = static_cast<unsigned char>(c);
        const size_t cmap = tables.at("cmap");
        for (unsigned i = 0; i < u16(cmap + 2); ++i) {
            const size_t record = cmap + 4 + 8 * size_t{i};
            const size_t sub = cmap + u32(record + 4);
            if (u16(record) != 3 || u16(record + 2) != 1 || u16(sub) != 4)
                continue;
            const size_t segments = u16(sub + 6) / 2;
            const size_t ends = sub + 14, starts = ends + 2 * segments + 2;
            const size_t deltas = starts + 2 * segments, offsets = deltas + 2 * segments;
            for (size_t s = 0; s < segments; ++s) {
                if (code > u16(ends + 2 * s) || code < u16(starts + 2 * s))
                    continue;
                const size_t rangeOffset = u16(offsets + 2 * s);
                if (rangeOffset == 0)
                    return static_cast<int>((code + u16(deltas + 2 * s)) & 0xFFFF);
                const size_t at = offsets + 2 * s + rangeOffset + 2 * (code - u16(starts + 2 * s));
                if (u16(at) == 0)
                    return 0;
                return static_cast<int>((u16(at) + u16(deltas + 2 * s)) & 0xFFFF);
            }
        }
        return 0;
    }

    int advance(char c) const
    {
        const int g = std::min(glyph(c), horizontalMetrics - 1);
        return static_cast<int>(u16(tables.at("hmtx") + 4 * static_cast<size_t>(g)));
    }

    Box box(char c) const
    {
        const size_t g = static_cast<size_t>(glyph(c));
        const size_t loca = tables.at("loca");
        const size_t offset = longLoca ? u32(loca + 4 * g) : 2 * size_t{u16(loca + 2 * g)};
        const size_t at = tables.at("glyf") + offset;
        return {s16(at + 2), s16(at + 4), s16(at + 6), s16(at + 8)};
    }

    int unitsPerEm = 0;
    int capHeight = 0;

private:
    unsigned u16(size_t at) const
    {
        return static_cast<unsigned>(data[at]) << 8 | static_cast<unsigned>(data[at + 1]);
    }
    int s16(size_t at) const { return static_cast<int16_t>(u16(at)); }
    size_t u32(size_t at) const { return size_t{u16(at)} << 16 | u16(at + 2); }

    std::vector<uint8_t> data;
    std::map<std::string, size_t> tables;
    bool longLoca = false;
    int horizontalMetrics = 0;
};
