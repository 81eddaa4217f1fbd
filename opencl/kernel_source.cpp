#include "opencl/kernel_source.h"

#include "opencl/cl_globals.h"

namespace {

// Everything before the kernel's output argument: complex arithmetic and the fourteen
// per-type functions, each returning the number of the first escaping step or maxIters.
constexpr const char* kernelCommon = R"CLC(
#ifdef _USE_DOUBLE_WIN32
#pragma OPENCL EXTENSION cl_khr_fp64: enable
#endif
#ifdef _USE_DOUBLE_MAC
#pragma OPENCL EXTENSION cl_APPLE_fp64_basic_ops: enable
#endif
// A contracted multiply-add rounds once where the host's formulas round twice.
#pragma OPENCL FP_CONTRACT OFF

struct cuComplex{
    TYPE r;
    TYPE i;
};

struct cuComplex setComplex(TYPE r, TYPE i)
{
    struct cuComplex c;
    c.r = r;
    c.i = i;
    return c;
}

TYPE magnitude2(struct cuComplex c)
{
    return c.r * c.r + c.i * c.i;
}

struct cuComplex mult(struct cuComplex a, struct cuComplex b)
{
    return setComplex(a.r * b.r - a.i * b.i, a.i * b.r + a.r * b.i);
}

struct cuComplex mults(TYPE s, struct cuComplex a)
{
    return setComplex(s * a.r, s * a.i);
}

struct cuComplex pow_int(struct cuComplex a, int n)
{
    if (n <= 0)
        return setComplex((TYPE)1, (TYPE)0);
    struct cuComplex result = a;
    for (int k = 1; k < n; ++k)
        result = mult(result, a);
    return result;
}

struct cuComplex add(struct cuComplex a, struct cuComplex b)
{
    return setComplex(a.r + b.r, a.i + b.i);
}

struct cuComplex subtract(struct cuComplex a, struct cuComplex b)
{
    return setComplex(a.r - b.r, a.i - b.i);
}

struct cuComplex addScalar(struct cuComplex a, TYPE b)
{
    return setComplex(a.r + b, a.i);
}

struct cuComplex subtractScalar(struct cuComplex a, TYPE b)
{
    return setComplex(a.r - b, a.i);
}

struct cuComplex negate(struct cuComplex a)
{
    return setComplex(-a.r, -a.i);
}

struct cuComplex sinCDouble(struct cuComplex a)
{
    return setComplex(sin(a.r) * cosh(a.i), cos(a.r) * sinh(a.i));
}

struct cuComplex cosCDouble(struct cuComplex a)
{
    return setComplex(cos(a.r) * cosh(a.i), -sin(a.r) * sinh(a.i));
}

struct cuComplex sinhCDouble(struct cuComplex a)
{
    return setComplex(sinh(a.r) * cos(a.i), cosh(a.r) * sin(a.i));
}

struct cuComplex coshCDouble(struct cuComplex a)
{
    return setComplex(cosh(a.r) * cos(a.i), sinh(a.r) * sin(a.i));
}

struct cuComplex expCDouble(struct cuComplex a)
{
    TYPE e = exp(a.r);
    return setComplex(e * cos(a.i), e * sin(a.i));
}

struct cuComplex pixelPoint(int x, int y, int width, int height, TYPE xMin, TYPE xMax, TYPE yMin,
                            TYPE yMax)
{
    return setComplex(xMin + (TYPE)x / (TYPE)width * (xMax - xMin),
                      yMin + (TYPE)y / (TYPE)height * (yMax - yMin));
}

#define FRACTAL_PARAMETERS int x, int y, int width, int height, TYPE xMin, TYPE xMax, TYPE yMin, \
    TYPE yMax, TYPE cx, TYPE cy, TYPE maxSizeSquared, int maxIters
#define PIXEL_POINT pixelPoint(x, y, width, height, xMin, xMax, yMin, yMax)

int mandel(FRACTAL_PARAMETERS)
{
    struct cuComplex c = PIXEL_POINT;
    struct cuComplex z = setComplex((TYPE)0, (TYPE)0);
    int iters = 0;
    while (iters < maxIters) {
        z = add(mult(z, z), c);
        if (magnitude2(z) > maxSizeSquared)
            break;
        iters++;
    }
    return iters;
}

int julia(FRACTAL_PARAMETERS)
{
    struct cuComplex z = PIXEL_POINT;
    struct cuComplex c = setComplex(cx, cy);
    int iters = 0;
    for (;;) {
        z = add(mult(z, z), c);
        if (magnitude2(z) > maxSizeSquared)
            break;
        if (iters >= maxIters)
            break;
        iters++;
    }
    return iters;
}

int sinFractal(FRACTAL_PARAMETERS)
{
    struct cuComplex c = PIXEL_POINT;
    struct cuComplex z = setComplex((TYPE)0, (TYPE)0);
    int iters = 0;
    while (iters < maxIters) {
        z = add(sinCDouble(z), c);
        if (magnitude2(z) > maxSizeSquared)
            break;
        iters++;
    }
    return iters;
}

int cosFractal(FRACTAL_PARAMETERS)
{
    struct cuComplex c = PIXEL_POINT;
    struct cuComplex z = setComplex((TYPE)0, (TYPE)0);
    int iters = 0;
    while (iters < maxIters) {
        z = add(cosCDouble(z), c);
        if (magnitude2(z) > maxSizeSquared)
            break;
        iters++;
    }
    return iters;
}

int sinhFractal(FRACTAL_PARAMETERS)
{
    struct cuComplex c = PIXEL_POINT;
    struct cuComplex z = setComplex((TYPE)0, (TYPE)0);
    int iters = 0;
    while (iters < maxIters) {
        z = add(sinhCDouble(z), c);
        if (magnitude2(z) > maxSizeSquared)
            break;
        iters++;
    }
    return iters;
}

int coshFractal(FRACTAL_PARAMETERS)
{
    struct cuComplex c = PIXEL_POINT;
    struct cuComplex z = setComplex((TYPE)0, (TYPE)0);
    int iters = 0;
    while (iters < maxIters) {
        z = add(coshCDouble(z), c);
        if (magnitude2(z) > maxSizeSquared)
            break;
        iters++;
    }
    return iters;
}

int barnsley1(FRACTAL_PARAMETERS)
{
    struct cuComplex z = PIXEL_POINT;
    struct cuComplex c = setComplex(cx, cy);
    int iters = 0;
    while (iters < maxIters) {
        if (z.r >= (TYPE)0)
            z = subtract(mult(c, z), c);
        else
            z = add(mult(c, z), c);
        if (magnitude2(z) > maxSizeSquared)
            break;
        iters++;
    }
    return iters;
}

int barnsley2(FRACTAL_PARAMETERS)
{
    struct cuComplex z = PIXEL_POINT;
    struct cuComplex c = setComplex(cx, cy);
    int iters = 0;
    while (iters < maxIters) {
        struct cuComplex w = mult(c, z);
        if (w.i >= (TYPE)0)
            z = subtract(w, c);
        else
            z = add(w, c);
        if (magnitude2(z) > maxSizeSquared)
            break;
        iters++;
    }
    return iters;
}

int barnsley3(FRACTAL_PARAMETERS)
{
    struct cuComplex z = PIXEL_POINT;
    struct cuComplex c = setComplex(cx, cy);
    int iters = 0;
    while (iters < maxIters) {
        struct cuComplex square = addScalar(mult(z, z), (TYPE)-1);
        if (z.r >= (TYPE)0)
            z = addScalar(square, c.r * z.r);
        else
            z = addScalar(square, c.r * z.r);
        if (magnitude2(z) > maxSizeSquared)
            break;
        iters++;
    }
    return iters;
}

int barnsleySierpinski(FRACTAL_PARAMETERS)
{
    struct cuComplex p = PIXEL_POINT;
    TYPE zx = p.r;
    TYPE zy = p.i;
    int iters = 0;
    while (iters < maxIters) {
        TYPE nx;
        TYPE ny;
        if (zy > (TYPE)0.5) {
            nx = (TYPE)2 * zx;
            ny = (TYPE)2 * zy - (TYPE)1;
        } else if (zx > (TYPE)0.5) {
            nx = (TYPE)2 * zx - (TYPE)1;
            ny = (TYPE)2 * zy;
        } else {
            nx = (TYPE)2 * zx;
            ny = (TYPE)2 * zy;
        }
        if (nx * nx + ny * ny > maxSizeSquared)
            break;
        zx = nx;
        zy = ny;
        iters++;
    }
    return iters;
}

int dragon(FRACTAL_PARAMETERS)
{
    struct cuComplex z = PIXEL_POINT;
    struct cuComplex c = setComplex(cx, cy);
    int iters = 0;
    while (iters < maxIters) {
        z = mult(mult(c, z), subtract(setComplex((TYPE)1, (TYPE)0), z));
        if (magnitude2(z) > maxSizeSquared)
            break;
        iters++;
    }
    return iters;
}

int chebychev(FRACTAL_PARAMETERS)
{
    struct cuComplex z = PIXEL_POINT;
    struct cuComplex c = z;
    int iters = 0;
    while (iters < maxIters) {
        z = add(add(add(mults((TYPE)16, pow_int(z, 5)), mults((TYPE)-20, pow_int(z, 3))),
                    mults((TYPE)5, z)),
                c);
        if (magnitude2(z) > maxSizeSquared)
            break;
        iters++;
    }
    return iters;
}

int hermite(FRACTAL_PARAMETERS)
{
    struct cuComplex z = PIXEL_POINT;
    struct cuComplex c = z;
    int iters = 0;
    while (iters < maxIters) {
        z = add(c, add(add(mults((TYPE)16, pow_int(z, 4)), mults((TYPE)-48, pow_int(z, 2))),
                       setComplex((TYPE)12, (TYPE)0)));
        if (magnitude2(z) > maxSizeSquared)
            break;
        iters++;
    }
    return iters;
}

int legendre(FRACTAL_PARAMETERS)
{
    struct cuComplex z = PIXEL_POINT;
    int iters = 0;
    while (iters < maxIters) {
        z = add(add(add(mults((TYPE)20, pow_int(z, 3)), mults((TYPE)-30, pow_int(z, 2))),
                    mults((TYPE)12, z)),
                setComplex((TYPE)-1, (TYPE)0));
        if (magnitude2(z) > maxSizeSquared)
            break;
        iters++;
    }
    return iters;
}

int fractalCount(int type, FRACTAL_PARAMETERS)
{
    switch (type) {
    case 0: return mandel(x, y, width, height, xMin, xMax, yMin, yMax, cx, cy, maxSizeSquared, maxIters);
    case 1: return julia(x, y, width, height, xMin, xMax, yMin, yMax, cx, cy, maxSizeSquared, maxIters);
    case 2: return sinFractal(x, y, width, height, xMin, xMax, yMin, yMax, cx, cy, maxSizeSquared, maxIters);
    case 3: return cosFractal(x, y, width, height, xMin, xMax, yMin, yMax, cx, cy, maxSizeSquared, maxIters);
    case 4: return sinhFractal(x, y, width, height, xMin, xMax, yMin, yMax, cx, cy, maxSizeSquared, maxIters);
    case 5: return coshFractal(x, y, width, height, xMin, xMax, yMin, yMax, cx, cy, maxSizeSquared, maxIters);
    case 6: return barnsley1(x, y, width, height, xMin, xMax, yMin, yMax, cx, cy, maxSizeSquared, maxIters);
    case 7: return barnsley2(x, y, width, height, xMin, xMax, yMin, yMax, cx, cy, maxSizeSquared, maxIters);
    case 8: return barnsley3(x, y, width, height, xMin, xMax, yMin, yMax, cx, cy, maxSizeSquared, maxIters);
    case 9: return barnsleySierpinski(x, y, width, height, xMin, xMax, yMin, yMax, cx, cy, maxSizeSquared, maxIters);
    case 10: return dragon(x, y, width, height, xMin, xMax, yMin, yMax, cx, cy, maxSizeSquared, maxIters);
    case 11: return chebychev(x, y, width, height, xMin, xMax, yMin, yMax, cx, cy, maxSizeSquared, maxIters);
    case 12: return hermite(x, y, width, height, xMin, xMax, yMin, yMax, cx, cy, maxSizeSquared, maxIters);
    case 13: return legendre(x, y, width, height, xMin, xMax, yMin, yMax, cx, cy, maxSizeSquared, maxIters);
    default: return maxIters; // an unknown type stores 0
    }
}
)CLC";

// The kernel over the whole image: each work-group stages its counts in local memory and
// writes them out after one barrier. OUTPUT_ARGUMENT and STORE_PIXEL name the variant's output.
constexpr const char* kernelBody = R"CLC(
__kernel void do_work(int width, int height, TYPE xMin, TYPE xMax, TYPE yMin, TYPE yMax,
                      TYPE cx, TYPE cy, TYPE maxSizeSquared, int maxIters, OUTPUT_ARGUMENT,
                      int type)
{
    __local buffer_type localPixels[16][16];
    const int x = (int)(get_group_id(0) * get_local_size(0) + get_local_id(0));
    const int y = (int)(get_group_id(1) * get_local_size(1) + get_local_id(1));
    const int offset = x + y * (int)(get_num_groups(0) * get_local_size(0));
    (void)offset;
    if (x < width && y < height) {
        const int count = fractalCount(type, x, y, width, height, xMin, xMax, yMin, yMax, cx, cy,
                                       maxSizeSquared, maxIters);
        localPixels[get_local_id(0)][get_local_id(1)] = count >= maxIters ? 0 : (buffer_type)count;
    }
    barrier(CLK_LOCAL_MEM_FENCE);
    if (x < width && y < height)
        STORE_PIXEL;
}
)CLC";

constexpr const char* bufferOutput = R"CLC(
#define OUTPUT_ARGUMENT __global buffer_type* buffer
#define STORE_PIXEL buffer[offset] = localPixels[get_local_id(0)][get_local_id(1)]
)CLC";

constexpr const char* imageOutput = R"CLC(
#define OUTPUT_ARGUMENT __write_only image2d_t buffer
#define STORE_PIXEL write_imageui(buffer, (int2)(x, y), \
    (uint4)(localPixels[get_local_id(0)][get_local_id(1)], 0, 0, 0))
)CLC";

} // namespace

const std::string kernelSourceBuffer = std::string(kernelCommon) + bufferOutput + kernelBody;
const std::string kernelSourceInterop = std::string(kernelCommon) + imageOutput + kernelBody;

std::string kernelBuildOptions(bool doublePrecision)
{
    // kernelBuildWords: "ushort", "buffer_type", "max_palette_value".
    std::string options = std::string("-D TYPE=") + (doublePrecision ? "double" : "float") + " ";
    if (doublePrecision)
        options += std::string(" -D ") + "_USE_DOUBLE_WIN32";
    options += " -D " + kernelBuildWords[1] + "=" + kernelBuildWords[0] + " ";
    options += "-D " + kernelBuildWords[2] + "=" + "65535" + " ";
    return options;
}
