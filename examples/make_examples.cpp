// Writes the example fractal lists, each as a version 1 "*.frac" and a version 2 "*.frac2" file,
// with the program's own writer:
//     make_examples [folder]        (default: the current folder)
#include "core/fractal_file.h"
#include "core/globals.h"
#include "examples/example_lists.h"

#include <string>

int main(int argc, char** argv)
{
    const std::string folder = argc > 1 ? argv[1] : ".";
    for (const ExampleList& example : exampleLists()) {
        fractalList = example.records;
        for (const char* extension : {".frac", ".frac2"}) {
            if (!saveFractals(folder + "/" + example.name + extension))
                return 1;
        }
    }
    return 0;
}
