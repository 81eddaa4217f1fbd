#include "app/startup.h"
#include "platform/standard_streams.h"

int main(int argc, char** argv)
{
    openClosedStandardStreams();
    return runTessaly(argc, argv);
}
