#include "tests/app/screen_check.h"

#include "core/escape_time.h"
#include "core/globals.h"
#include "display/palette.h"
#include "tests/app/program_run.h"

#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <iterator>
#include <map>
#include <memory>
#include <set>
#include <sstream>

std::array<int, 3> Screenshot::at(int x, int y) const
{
    const size_t i = (static_cast<size_t>(y) * static_cast<size_t>(width) + static_cast<size_t>(x)) * 3;
    return {rgb[i], rgb[i + 1], rgb[i + 2]};
}

std::optional<Screenshot> takeScreenshot()
{
    const std::string file = std::string(TESSALY_BINARY_DIR) + "/tests/screen_" +
                             std::to_string(getpid()) + ".ppm";
    if (!runCommand("import -window root -depth 8 ppm:'" + file + "' 2>/dev/null"))
        return std::nullopt;
    std::ifstream in(file, std::ios::binary);
    std::string magic;
    int maxValue = 0;
    Screenshot shot;
    in >> magic >> shot.width >> shot.height >> maxValue;
    in.get();
    if (magic != "P6" || maxValue != 255 || shot.width <= 0 || shot.height <= 0)
        return std::nullopt;
    shot.rgb.resize(static_cast<size_t>(shot.width) * static_cast<size_t>(shot.height) * 3);
    in.read(reinterpret_cast<char*>(shot.rgb.data()), static_cast<std::streamsize>(shot.rgb.size()));
    std::remove(file.c_str());
    if (!in)
        return std::nullopt;
    return shot;
}

namespace {

constexpr int neighbourhood = 2;

// The texel of an image of size texels that a window pixel of a window size pixels wide shows.
int texelOf(int pixel, int windowSize, int texels)
{
    return static_cast<int>((pixel + 0.5) * texels / windowSize);
}

} // namespace

std::vector<ColourSample> paletteSamples(const FractalRecord& record, int windowWidth,
                                         int windowHeight)
{
    initialisePalette(VgaPalette);
    const int width = imageWidth;
    const int height = imageHeight;
    std::vector<uint16_t> image(static_cast<size_t>(width) * static_cast<size_t>(height));

    std::vector<ColourSample> samples;
    std::map<int, int> perCount;
    for (int gy = 1; gy < 24; ++gy) {
        for (int gx = 1; gx < 32; ++gx) {
            const int x = gx * windowWidth / 32;
            const int y = gy * windowHeight / 24;
            // The message logs: status lines to the right, the benchmark's result lower down.
            if (x > windowWidth * 11 / 20 && y > windowHeight / 5 && y < windowHeight / 2)
                continue;
            if (x > windowWidth / 4 && y > windowHeight * 7 / 10 && y < windowHeight * 17 / 20)
                continue;
            const int tx = texelOf(x, windowWidth, width);
            const int ty = texelOf(y, windowHeight, height);
            const int x0 = std::max(tx - neighbourhood, 0);
            const int y0 = std::max(ty - neighbourhood, 0);
            const int x1 = std::min(tx + neighbourhood + 1, width);
            const int y1 = std::min(ty + neighbourhood + 1, height);
            cpuTile<float>(x0, y0, x1, y1, static_cast<float>(width), static_cast<float>(height),
                           static_cast<float>(record.minX), static_cast<float>(record.maxX),
                           static_cast<float>(record.minY), static_cast<float>(record.maxY),
                           static_cast<float>(record.Cx), static_cast<float>(record.Cy),
                           static_cast<float>(record.maxSizeSquared), record.maxIterations,
                           image.data(), record.fractalType);
            const int count = image[static_cast<size_t>(tx) + static_cast<size_t>(ty) * width];
            bool uniform = true;
            for (int v = y0; v < y1; ++v) {
                for (int u = x0; u < x1; ++u)
                    uniform = uniform && image[static_cast<size_t>(u) + static_cast<size_t>(v) * width] == count;
            }
            if (!uniform || perCount[count] == 2)
                continue;
            ++perCount[count];
            const PaletteEntry& entry = currentPalette[count & (paletteSize - 1)];
            auto eightBits = [](uint16_t v) { return (v * 255 + 32767) / 65535; };
            samples.push_back({x, y, count,
                               {eightBits(entry.red), eightBits(entry.green), eightBits(entry.blue)}});
        }
    }
    return samples;
}

size_t distinctCounts(const std::vector<ColourSample>& samples)
{
    std::set<int> counts;
    for (const ColourSample& sample : samples)
        counts.insert(sample.count);
    return counts.size();
}

std::string colourMismatches(const Screenshot& shot, const std::vector<ColourSample>& samples)
{
    std::ostringstream text;
    for (const ColourSample& s : samples) {
        if (s.x >= shot.width || s.y >= shot.height) {
            text << "(" << s.x << ", " << s.y << ") is off the screen\n";
            continue;
        }
        const std::array<int, 3> seen = shot.at(s.x, s.y);
        bool close = true;
        for (int c = 0; c < 3; ++c)
            close = close && std::abs(seen[c] - s.colour[c]) <= 3;
        if (!close) {
            text << "(" << s.x << ", " << s.y << ") count " << s.count << ": expected " << s.colour[0]
                 << " " << s.colour[1] << " " << s.colour[2] << ", seen " << seen[0] << " "
                 << seen[1] << " " << seen[2] << "\n";
        }
    }
    return text.str();
}

std::string waitForColours(const std::vector<ColourSample>& samples)
{
    const auto deadline = std::chrono::steady_clock::now() + programTimeLimit;
    std::string mismatches = "no screenshot";
    while (std::chrono::steady_clock::now() < deadline) {
        if (const std::optional<Screenshot> shot = takeScreenshot()) {
            mismatches = colourMismatches(*shot, samples);
            if (mismatches.empty())
                return "";
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
    }
    return mismatches;
}
