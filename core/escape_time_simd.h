// The vector tile kernel, written once over a description VT of one instruction set and working
// type. Included only by the instruction-set files, after their target pragma.
//
// VT provides: Real; V, lanes of Real with + - * and comparisons; Mask, one bit per lane;
// Counts, one integer per lane; lanes; interleave (vectors in flight); and
//   V fromInts(const int32_t*)                    lane-wise conversion
//   Mask lessThan(V a, V b)                       a < b, false for not-a-number
//   Mask fromBits(uint32_t)
//   Mask without(Mask alive, Mask escaped)        alive and not escaped
//   bool none(Mask)
//   Counts zeroCounts() / Counts countAlive(Counts, Mask)   +1 in the lanes of the mask
//   void storeCounts(int32_t* out, Counts)
//
// NOTE: everything here sits in an anonymous namespace and the formulas are instantiated with
// vector types local to each file, so every instruction-set file compiles its own copy with its
// own target and the linker cannot swap one instruction set's code for another's.
#pragma once

#include "core/escape_time.h"
#include "core/tile_kernels.h"

#include <cstdint>
#include <cstring>
#include <type_traits>
#include <utility>

// The hot step of the vectors is inlined into each kernel so that the vectors live in registers.
// NOTE: instrumented by the address sanitizer, those kernels take minutes to compile; there the
// step stays out of line, with the same arithmetic.
#if defined(__SANITIZE_ADDRESS__)
#define TESSALY_VECTOR_STEP __attribute__((noinline))
#else
#define TESSALY_VECTOR_STEP __attribute__((always_inline)) inline
#endif

namespace {

// One vector's worth of pixels: blockColumns × rows pixels of one tile, the lanes in row order,
// with their points computed as the scalar walk computes them.
template <typename VT>
struct Block {
    static constexpr int32_t rows = VT::lanes / VT::blockColumns;
    alignas(64) typename VT::Real pRe[VT::lanes];
    alignas(64) typename VT::Real pIm[VT::lanes];
    int32_t rowStart[rows]; // buffer index of each row's first lane
    uint32_t active;        // lanes inside the tile
};

// Cuts the jobs into blocks, a batch at a time, taking more jobs from the source as needed.
// Jobs whose constant c differs from the current one wait until the vectors in flight are done.
template <typename VT>
class BlockSource {
public:
    using Real = typename VT::Real;
    using V = typename VT::V;
    static constexpr int32_t lanes = VT::lanes;
    static constexpr int32_t columns = VT::blockColumns;
    static constexpr int32_t rows = lanes / columns;
    static constexpr int32_t capacity = 128;

    BlockSource(const TileJob<Real>* first, int32_t count, TileSource<Real> more,
                const TileFrame<Real>& frame)
        : jobCount(count), source(more), width(frame.width), height(frame.height),
          rowPitch(frame.imageWidth)
    {
        std::memcpy(jobs, first, sizeof(TileJob<Real>) * static_cast<size_t>(count));
        if (count > 0) {
            cRe = jobs[0].cRe;
            cIm = jobs[0].cIm;
        }
    }

    // Makes the next batch of blocks; false when none could be made because the stream has
    // ended or its next job waits for another constant.
    // NOTE: out of line and called only between batches: a call inside the vector loop would
    // push the vectors in flight out of registers.
    __attribute__((noinline)) bool produce()
    {
        count = 0;
        next = 0;
        if (cancelled()) {
            finished = true;
            jobIndex = jobCount;
            return false;
        }
        while (count < capacity) {
            if (jobIndex == jobCount) {
                if (finished)
                    break;
                jobCount = source.take(source.context, jobs, maxJobsPerTake);
                jobIndex = 0;
                started = false;
                if (jobCount == 0) {
                    finished = true;
                    break;
                }
            }
            const TileJob<Real>& job = jobs[jobIndex];
            if (!started) {
                if (!sameConstant(job))
                    break;
                startJob(job);
            }
            if (blockY >= job.y1 || job.x0 >= job.x1) {
                ++jobIndex;
                started = false;
                continue;
            }
            makeBlock(job, blocks[count++]);
            blockX += columns;
            if (blockX >= job.x1) {
                blockX = job.x0;
                blockY += rows;
            }
        }
        return count > 0;
    }

    bool ended() const { return finished && jobIndex == jobCount; }

    // True once the stream's owner has cancelled it: blocks not yet started are dropped.
    bool cancelled() const
    {
        return source.cancel != nullptr && source.cancel->load(std::memory_order_relaxed);
    }

    // Makes the waiting job's constant the current one.
    void adoptWaiting()
    {
        cRe = jobs[jobIndex].cRe;
        cIm = jobs[jobIndex].cIm;
    }

    Block<VT> blocks[capacity];
    int32_t count = 0;
    int32_t next = 0;
    Real cRe = 0, cIm = 0;

private:
    // Bitwise, so a constant holding not-a-number still equals itself.
    bool sameConstant(const TileJob<Real>& job) const
    {
        const Real mine[2] = {cRe, cIm};
        const Real its[2] = {job.cRe, job.cIm};
        return std::memcmp(mine, its, sizeof mine) == 0;
    }

    void startJob(const TileJob<Real>& job)
    {
        started = true;
        blockX = job.x0;
        blockY = job.y0;
        xMin = V(job.xMin);
        xSpan = V(job.xMax - job.xMin);
        yMin = V(job.yMin);
        ySpan = V(job.yMax - job.yMin);
    }

    void makeBlock(const TileJob<Real>& job, Block<VT>& block)
    {
        alignas(64) int32_t laneX[lanes];
        alignas(64) int32_t laneY[lanes];
        uint32_t active = 0;
        for (int32_t lane = 0; lane < lanes; ++lane) {
            const int32_t x = blockX + lane % columns;
            const int32_t y = blockY + lane / columns;
            const bool inside = x < job.x1 && y < job.y1;
            laneX[lane] = inside ? x : blockX;
            laneY[lane] = inside ? y : blockY;
            active |= static_cast<uint32_t>(inside) << lane;
        }
        for (int32_t row = 0; row < rows; ++row)
            block.rowStart[row] = blockX + (blockY + row < job.y1 ? blockY + row : blockY) * rowPitch;
        block.active = active;
        // The same operations, in the same order, as the scalar walk.
        VT::save(block.pRe, (VT::fromInts(laneX) / width) * xSpan + xMin);
        VT::save(block.pIm, (VT::fromInts(laneY) / height) * ySpan + yMin);
    }

    TileJob<Real> jobs[maxJobsPerTake];
    int32_t jobCount;
    int32_t jobIndex = 0;
    bool started = false;
    bool finished = false;
    int32_t blockX = 0, blockY = 0;
    TileSource<Real> source;
    const V width, height;
    V xMin, xSpan, yMin, ySpan;
    const int32_t rowPitch;
};

// Where the rows of a block start in the image.
template <typename VT>
struct RowStarts {
    int32_t at[Block<VT>::rows];
};

// One vector of lanes in flight: its z, the squares of z, its points, counts and live lanes,
// and where its block's pixels go (copied: the next batch reuses the blocks' memory).
template <typename VT>
struct Lanes {
    typename VT::V x, y, xx, yy, pRe, pIm;
    typename VT::Counts counts;
    typename VT::Mask alive;
    int64_t steps;
    int64_t checkAt; // steps at which the vector next stops to look around
    bool busy;
    uint32_t active;
    RowStarts<VT> rowStart;
};

// What the vectors share while they run.
template <typename VT>
struct Run {
    BlockSource<VT>& blocks;
    uint16_t* buffer;
    typename VT::V bound, cRe, cIm;
    int32_t limit;
};

// Starts a vector on the next block, or parks it when the batch is used up.
template <typename VT, int32_t Type>
__attribute__((always_inline)) inline bool startNext(const Run<VT>& run, Lanes<VT>& s)
{
    BlockSource<VT>& blocks = run.blocks;
    if (blocks.next == blocks.count || blocks.cancelled()) {
        blocks.next = blocks.count;
        s.busy = false;
        return false;
    }
    const Block<VT>& block = blocks.blocks[blocks.next++];
    s.active = block.active;
    for (int32_t row = 0; row < Block<VT>::rows; ++row)
        s.rowStart.at[row] = block.rowStart[row];
    s.pRe = VT::load(block.pRe);
    s.pIm = VT::load(block.pIm);
    s.x = startsAtZero(Type) ? typename VT::V(0) : s.pRe;
    s.y = startsAtZero(Type) ? typename VT::V(0) : s.pIm;
    s.xx = s.x * s.x;
    s.yy = s.y * s.y;
    s.alive = VT::fromBits(block.active);
    s.counts = VT::zeroCounts();
    s.steps = 0;
    s.checkAt = run.limit < stopCheckSteps ? run.limit : stopCheckSteps;
    s.busy = true;
    return true;
}

// One step of a vector: the counts of lanes that have not escaped yet go up by one.
template <typename VT, int32_t Type>
__attribute__((always_inline)) inline void stepOnce(const Run<VT>& run, Lanes<VT>& s)
{
    fractalStep<Type>(s.x, s.y, s.xx, s.yy, s.pRe, s.pIm, run.cRe, run.cIm);
    s.xx = s.x * s.x;
    s.yy = s.y * s.y;
    s.alive = VT::without(s.alive, VT::lessThan(run.bound, s.xx + s.yy));
    s.counts = VT::countAlive(s.counts, s.alive);
}

// Stores the counts of a block that is not full, lane by lane.
// NOTE: everything comes by value: a pointer into a vector's state would keep the vectors in
// flight out of registers.
template <typename VT>
__attribute__((noinline)) void storeLanes(uint16_t* buffer, int32_t limit,
                                          typename VT::Counts counts, uint32_t active,
                                          RowStarts<VT> rowStart)
{
    alignas(64) int32_t out[VT::lanes];
    VT::storeCounts(out, counts);
    for (int32_t lane = 0; lane < VT::lanes; ++lane) {
        if ((active >> lane) & 1u) {
            const int32_t count = out[lane] < limit ? out[lane] : 0;
            buffer[rowStart.at[lane / VT::blockColumns] + lane % VT::blockColumns] =
                static_cast<uint16_t>(count);
        }
    }
}

// Stores a vector's counts and starts it on the next block. A lane's count is the number of
// steps it survived: the escaping step if that is below maxIterations, else the lane did not
// escape in time and holds 0.
template <typename VT, int32_t Type>
__attribute__((always_inline)) inline bool complete(const Run<VT>& run, Lanes<VT>& s)
{
    if (s.active == (1u << VT::lanes) - 1u) [[likely]]
        VT::storeRows(run.buffer, s.rowStart.at, s.counts, run.limit);
    else
        storeLanes<VT>(run.buffer, run.limit, s.counts, s.active, s.rowStart);
    return startNext<VT, Type>(run, s);
}

// Between blocks and every stopCheckSteps steps: a vector that is done stores its counts and
// starts on the next block; once the stream is cancelled, the vector drops its block and parks.
// Returns false when it parked.
template <typename VT, int32_t Type>
__attribute__((always_inline)) inline bool lookAround(const Run<VT>& run, Lanes<VT>& s)
{
    if (VT::none(s.alive) || s.steps >= run.limit)
        return complete<VT, Type>(run, s);
    if (run.blocks.cancelled()) {
        run.blocks.next = run.blocks.count;
        s.busy = false;
        return false;
    }
    s.checkAt = run.limit - s.steps > stopCheckSteps ? s.steps + stopCheckSteps : run.limit;
    return true;
}

// Two steps of a vector; a vector whose lanes have all escaped, or which has run
// maxIterations steps, stores its counts and starts on the next block. Returns false when it
// parked for want of blocks or because the stream was cancelled.
// NOTE: steps past an escape or past maxIterations change no stored count, so a vector always
// takes two steps and tests once whether it is done. The look at the stop flag rides on the
// same test: checkAt never passes maxIterations.
template <typename VT, int32_t Type>
TESSALY_VECTOR_STEP bool advance(const Run<VT>& run, Lanes<VT>& s)
{
    stepOnce<VT, Type>(run, s);
    stepOnce<VT, Type>(run, s);
    s.steps += 2;
    // NOTE: marked unlikely so the vectors stay in registers through this path.
    if (VT::none(s.alive) || s.steps >= s.checkAt) [[unlikely]]
        return lookAround<VT, Type>(run, s);
    return true;
}

// Runs the vectors given, stepping in turn, until the stream has no pixel left. Each is a
// separate variable, not an array element, so that it can live in registers.
template <typename VT, int32_t Type, typename... L>
void runVectors(BlockSource<VT>& blocks, const TileFrame<typename VT::Real>& frame,
                uint16_t* buffer, L&... vectors)
{
    for (;;) {
        const Run<VT> run{blocks, buffer, typename VT::V(frame.escapeBound),
                          typename VT::V(blocks.cRe), typename VT::V(blocks.cIm),
                          frame.maxIterations};
        for (;;) {
            // Parked vectors start on a new batch; without one, the others finish.
            if (blocks.next == blocks.count && blocks.produce())
                ((vectors.busy || startNext<VT, Type>(run, vectors)), ...);
            if ((vectors.busy && ...)) {
                // While every vector runs, none needs to test whether it does.
                bool all = true;
                while (all)
                    ((all &= advance<VT, Type>(run, vectors)), ...);
            } else if ((vectors.busy || ...)) {
                // No block is left for now: the others run until one of them is done.
                bool parked = false;
                while (!parked)
                    ((parked |= vectors.busy && !advance<VT, Type>(run, vectors)), ...);
            } else {
                break;
            }
        }
        if (blocks.ended())
            return;
        blocks.adoptWaiting();
    }
}

// Streams all pixels through VT::interleave vectors stepping in turn. A vector that is done
// stores its counts and starts on the next block at once, so the others keep running.
// NOTE: one function per type keeps each of them small enough to compile quickly, also with
// the sanitizers.
template <typename VT, int32_t Type>
__attribute__((noinline)) void streamTiles(const TileJob<typename VT::Real>* first, int32_t firstCount,
                 TileSource<typename VT::Real> more, const TileFrame<typename VT::Real>& frame,
                 uint16_t* buffer)
{
    static_assert(VT::interleave >= 2 && VT::interleave <= 4, "two to four vectors in flight");
    BlockSource<VT> blocks(first, firstCount, more, frame);
    Lanes<VT> a{}, b{}, c{}, d{};
    if constexpr (VT::interleave == 2)
        runVectors<VT, Type>(blocks, frame, buffer, a, b);
    else if constexpr (VT::interleave == 3)
        runVectors<VT, Type>(blocks, frame, buffer, a, b, c);
    else
        runVectors<VT, Type>(blocks, frame, buffer, a, b, c, d);
}

// The kernel of a type, or false for a type without one.
template <typename VT>
bool computeTiles(const TileJob<typename VT::Real>* jobs, int32_t count,
                  TileSource<typename VT::Real> more, const TileFrame<typename VT::Real>& frame,
                  uint16_t* buffer)
{
    return dispatchFractalType(frame.fractalType, [&](auto type) {
        if constexpr (isPolynomialStep(decltype(type)::value))
            streamTiles<VT, decltype(type)::value>(jobs, count, more, frame, buffer);
    });
}

} // namespace
