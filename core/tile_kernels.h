// Vectorised single- and double-precision tile kernels, chosen at run time from the
// processor's instruction sets. They give every pixel exactly the count of the scalar kernel
// cpuTile. Every function here may run on any thread.
#pragma once

#include "core/cpu_threads.h"

#include <atomic>
#include <cstdint>

enum class SimdLevel {
    Scalar,
    Avx2,
    Avx512,
};

// The frame's values a kernel needs besides its jobs, in the working type.
template <typename T>
struct TileFrame {
    T width;
    T height;
    T escapeBound;
    int32_t maxIterations;
    int32_t fractalType;
    int32_t imageWidth; // pixels per row of buffer
};

// Hands a kernel more jobs while it runs: take writes up to capacity jobs and returns how many;
// 0 ends the stream. Once cancel is set the kernel returns within stopCheckSteps steps of its
// vectors, leaving the pixels of every block it has not finished unwritten.
template <typename T>
struct TileSource {
    int32_t (*take)(void* context, TileJob<T>* jobs, int32_t capacity);
    void* context;
    const std::atomic<bool>* cancel = nullptr;
};

// Most jobs handed over at once, by the pool or a source.
constexpr int32_t maxJobsPerTake = 1024;

// The widest level the processor and the operating system support.
SimdLevel detectSimdLevel();

// True when the processor can run the kernels of a level.
bool simdLevelSupported(SimdLevel level);

// True for the types the vector kernels compute; the others need the scalar kernel.
bool hasVectorKernel(int32_t fractalType);

// Computes the given jobs and every job the source hands out afterwards, with the vector kernel
// of a supported level other than Scalar, for a type with a vector kernel. Returns once all of
// them are written to buffer.
void computeVectorTiles(SimdLevel level, const TileJob<float>* jobs, int32_t count,
                        TileSource<float> more, const TileFrame<float>& frame, uint16_t* buffer);
void computeVectorTiles(SimdLevel level, const TileJob<double>* jobs, int32_t count,
                        TileSource<double> more, const TileFrame<double>& frame,
                        uint16_t* buffer);

// The same kernels by level, for the dispatcher.
void avx2Tiles(const TileJob<float>* jobs, int32_t count, TileSource<float> more,
               const TileFrame<float>& frame, uint16_t* buffer);
void avx2Tiles(const TileJob<double>* jobs, int32_t count, TileSource<double> more,
               const TileFrame<double>& frame, uint16_t* buffer);
void avx512Tiles(const TileJob<float>* jobs, int32_t count, TileSource<float> more,
                 const TileFrame<float>& frame, uint16_t* buffer);
void avx512Tiles(const TileJob<double>* jobs, int32_t count, TileSource<double> more,
                 const TileFrame<double>& frame, uint16_t* buffer);
