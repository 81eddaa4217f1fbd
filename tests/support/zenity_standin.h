// A stand-in for the zenity chooser, first on PATH while the object lives. Call n (from 1)
// records its arguments and answers with the output and exit status set for it.
#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <unistd.h>
#include <vector>

class ZenityStandIn {
public:
    ZenityStandIn()
        : dir_(std::filesystem::path(testing::TempDir()) / ("zenity-" + std::to_string(::getpid())))
    {
        std::filesystem::remove_all(dir_);
        std::filesystem::create_directories(dir_ / "bin");
        const std::filesystem::path script = dir_ / "bin" / "zenity";
        std::ofstream(script) << "#!/bin/sh\n"
                                 "dir=$(dirname \"$0\")/..\n"
                                 "n=$(( $(cat \"$dir/calls\") + 1 ))\n"
                                 "echo $n > \"$dir/calls\"\n"
                                 "printf '%s\\n' \"$@\" > \"$dir/args$n\"\n"
                                 "cat \"$dir/answer$n\" 2>/dev/null\n"
                                 "exit $(cat \"$dir/status$n\" 2>/dev/null || echo 1)\n";
        std::filesystem::permissions(script, std::filesystem::perms::owner_all);
        std::ofstream(dir_ / "calls") << 0;
        const char* path = std::getenv("PATH");
        oldPath_ = path ? path : "";
        ::setenv("PATH", ((dir_ / "bin").string() + ":" + oldPath_).c_str(), 1);
    }

    ~ZenityStandIn()
    {
        ::setenv("PATH", oldPath_.c_str(), 1);
        std::filesystem::remove_all(dir_);
    }

    // What call n prints on standard output and the status it exits with.
    void answer(int call, const std::string& output, int status)
    {
        std::ofstream(dir_ / ("answer" + std::to_string(call)), std::ios::binary) << output;
        std::ofstream(dir_ / ("status" + std::to_string(call))) << status;
    }

    int calls() const
    {
        int n = 0;
        std::ifstream(dir_ / "calls") >> n;
        return n;
    }

    // The arguments of call n, one per line as the chooser received them.
    std::vector<std::string> arguments(int call) const
    {
        std::ifstream in(dir_ / ("args" + std::to_string(call)));
        std::vector<std::string> args;
        for (std::string line; std::getline(in, line);)
            args.push_back(line);
        return args;
    }

    // A scratch folder for files the tests choose.
    std::filesystem::path files() const
    {
        std::filesystem::create_directories(dir_ / "files");
        return dir_ / "files";
    }

    // Hides every zenity: PATH holds only an empty folder until the object dies.
    void hideAll() { ::setenv("PATH", (dir_ / "empty").string().c_str(), 1); }

private:
    std::filesystem::path dir_;
    std::string oldPath_;
};
