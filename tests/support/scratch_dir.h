// scratch_dir.h: an empty folder of a test's own for the files it writes, removed after the test.
// Hold a ScratchDir in a fixture, or derive the fixture from ScratchDirTest.
#pragma once

#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <string>

namespace zolk::test {

class ScratchDir {
public:
    // Named after the running test; the process id keeps test runs of several build trees on one
    // machine apart. Made empty at once.
    ScratchDir() {
        const auto* test = ::testing::UnitTest::GetInstance()->current_test_info();
        std::string name = std::string(test->test_suite_name()) + "_" + test->name() + "_" + std::to_string(::getpid());
        std::replace(name.begin(), name.end(), '/', '_');  // parameterised tests
        m_path = std::filesystem::temp_directory_path() / name;
        std::filesystem::remove_all(m_path);
        std::filesystem::create_directories(m_path);
    }
    ~ScratchDir() {
        std::error_code ignored;
        std::filesystem::remove_all(m_path, ignored);
    }
    ScratchDir(const ScratchDir&) = delete;
    ScratchDir& operator=(const ScratchDir&) = delete;

    const std::filesystem::path& path() const { return m_path; }

private:
    std::filesystem::path m_path;
};

class ScratchDirTest : public ::testing::Test {
protected:
    ScratchDir scratch;
    const std::filesystem::path& dir = scratch.path();
};

}  // namespace zolk::test
