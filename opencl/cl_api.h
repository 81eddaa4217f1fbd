// The OpenCL entry points the backend calls, taken at run time from the runtime library, so
// that the program starts on a machine without one.
#pragma once

#include <CL/cl.h>
#include <CL/cl_gl.h>

// Every OpenCL function the backend calls, once each.
#define TESSALY_CL_ENTRY_POINTS(X)                                                               \
    X(clGetPlatformIDs)                                                                          \
    X(clGetPlatformInfo)                                                                         \
    X(clGetDeviceIDs)                                                                            \
    X(clGetDeviceInfo)                                                                           \
    X(clCreateContext)                                                                           \
    X(clCreateCommandQueue)                                                                      \
    X(clCreateProgramWithSource)                                                                 \
    X(clBuildProgram)                                                                            \
    X(clGetProgramBuildInfo)                                                                     \
    X(clCreateKernel)                                                                            \
    X(clSetKernelArg)                                                                            \
    X(clCreateBuffer)                                                                            \
    X(clCreateFromGLTexture2D)                                                                   \
    X(clEnqueueAcquireGLObjects)                                                                 \
    X(clEnqueueReleaseGLObjects)                                                                 \
    X(clEnqueueNDRangeKernel)                                                                    \
    X(clEnqueueReadBuffer)                                                                       \
    X(clGetEventInfo)                                                                            \
    X(clSetEventCallback)                                                                        \
    X(clFlush)                                                                                   \
    X(clFinish)                                                                                  \
    X(clReleaseEvent)                                                                            \
    X(clReleaseKernel)                                                                           \
    X(clReleaseProgram)                                                                          \
    X(clReleaseMemObject)                                                                        \
    X(clReleaseCommandQueue)                                                                     \
    X(clReleaseContext)

// One pointer per entry point, named and typed as the OpenCL headers declare the function.
struct ClApi {
#define TESSALY_CL_MEMBER(name) decltype(&::name) name = nullptr;
    TESSALY_CL_ENTRY_POINTS(TESSALY_CL_MEMBER)
#undef TESSALY_CL_MEMBER
};

// The table the backend calls through. Filled by the first openCLRuntimeLoads() that finds the
// library with every entry point; read-only afterwards, so any thread may call through it.
extern ClApi clApi;
