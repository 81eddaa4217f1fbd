// The example fractal lists of this folder, as records. make_examples writes them; the tests
// read the written files back against them.
#pragma once

#include "core/fractal_list.h"
#include "core/fractal_record.h"

#include <cmath>
#include <string>
#include <vector>

struct ExampleList {
    std::string name; // file name without the extension
    std::vector<FractalRecord> records;
};

// The list the program starts with: the default Mandelbrot as the first newFractal makes it.
inline std::vector<FractalRecord> mandelbrotExample()
{
    FractalRecord record = defaultFractalRecord(Mandelbrot, 0);
    record.id = 0;
    return {record};
}

// Every fractal type at its defaults, in type order, with ids as a fresh run would give them
// (Julia with the menu's default preset).
inline std::vector<FractalRecord> allTypesExample()
{
    std::vector<FractalRecord> records;
    for (int32_t type = 0; type < fractalTypeCount; ++type) {
        records.push_back(defaultFractalRecord(type, 5));
        records.back().id = type;
    }
    return records;
}

// Three rubber-band zooms into Seahorse Valley: each band is a 512 x 512 pixel square of the
// 2048 x 2048 image around the same point, converted as the zoom converts it (the pixel
// quotient rounded to double, product and sum in extended precision); every record keeps the
// Mandelbrot's id.
inline std::vector<FractalRecord> seahorseZoomExample()
{
    constexpr long double imageSize = 2048.0L;
    constexpr long double halfBand = 256.0L;
    constexpr long double pointX = -0.743643887037151L;
    constexpr long double pointY = 0.131825904205330L;

    std::vector<FractalRecord> records = mandelbrotExample();
    for (int zoom = 0; zoom < 3; ++zoom) {
        const FractalRecord from = records.back();
        const long double dX = from.maxX - from.minX;
        const long double dY = from.maxY - from.minY;
        const long double pixelX = std::round((pointX - from.minX) / dX * imageSize);
        const long double pixelY = std::round((pointY - from.minY) / dY * imageSize);
        auto toX = [&](long double p) {
            return static_cast<long double>(static_cast<double>(p / imageSize)) * dX + from.minX;
        };
        auto toY = [&](long double p) {
            return static_cast<long double>(static_cast<double>(p / imageSize)) * dY + from.minY;
        };
        FractalRecord to = from;
        to.maxX = toX(pixelX + halfBand);
        to.minX = toX(pixelX - halfBand);
        to.maxY = toY(pixelY + halfBand);
        to.minY = toY(pixelY - halfBand);
        records.push_back(to);
    }
    return records;
}

inline std::vector<ExampleList> exampleLists()
{
    return {
        {"mandelbrot", mandelbrotExample()},
        {"all_types", allTypesExample()},
        {"seahorse_zoom", seahorseZoomExample()},
    };
}
