// Shared by the patch-file tests: patch files written into a temporary folder,
// exits turned into exceptions, and the output of a load captured.
#pragma once

#include <gtest/gtest.h>
#include <stdlib.h>

#include <cctype>
#include <filesystem>
#include <fstream>
#include <string>

#include "synth/exit.h"
#include "synth/generator.h"
#include "synth/notes.h"

/// A test-case label made of the characters of text that test names can hold.
inline std::string label(const char* text) {
    std::string s;
    for (const char* c = text; *c && s.size() < 40; c++) s += std::isalnum(static_cast<unsigned char>(*c)) ? *c : '_';
    return s;
}

/// What a kel_exit became.
struct ExitCalled {
    int status;
};

[[noreturn]] inline void throw_on_exit(int status) { throw ExitCalled{status}; }

class KsyTest : public ::testing::Test {
protected:
    void SetUp() override {
        fill_NOTE2FREQ();
        previous = set_exit_handler(throw_on_exit);
        char tmpl[] = "/tmp/ksy_test_XXXXXX";
        ASSERT_NE(mkdtemp(tmpl), nullptr);
        dir = tmpl;
    }
    void TearDown() override {
        set_exit_handler(previous);
        std::filesystem::remove_all(dir);
    }

    /// Writes a file in the temporary folder and returns its path.
    std::string write(const std::string& name, const std::string& text) {
        const std::string path = dir + "/" + name;
        std::ofstream(path) << text;
        return path;
    }

    /// Loads path into g, returning what was printed; the exit status, if the
    /// load ended the program, goes to exit_status (else it stays 0).
    std::string load(GENERATOR& g, const std::string& path) {
        std::string p = path;
        testing::internal::CaptureStdout();
        try {
            result = g.load_KSY(&p[0]);
        } catch (const ExitCalled& e) {
            exit_status = e.status;
        }
        return loader_messages(testing::internal::GetCapturedStdout());
    }

    /// The output without the checker's lines ("FILE:LINE: warning: ..."), which
    /// every load prints first and test_check.cpp tests: here the loader speaks.
    static std::string loader_messages(const std::string& out) {
        std::string kept, line;
        for (size_t at = 0; at < out.size();) {
            const size_t end = out.find('\n', at);
            line = out.substr(at, end == std::string::npos ? std::string::npos : end - at + 1);
            at = end == std::string::npos ? out.size() : end + 1;
            if (line.find(": warning: ") == std::string::npos) kept += line;
        }
        return kept;
    }

    /// Writes text as a patch file and loads it into g.
    std::string load_text(GENERATOR& g, const std::string& text) { return load(g, write("p.ksy", text)); }

    std::string dir;
    int result = -2;
    int exit_status = 0;
    exit_handler previous = nullptr;
};
