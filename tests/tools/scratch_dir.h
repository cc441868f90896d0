// scratch_dir.h: a test fixture with an empty folder of its own for the files a test writes,
// removed after the test.
#pragma once

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <string>

namespace zolk::phytool {

class ScratchDirTest : public ::testing::Test {
protected:
    void SetUp() override {
        // The process id keeps test runs of several build trees on one machine apart.
        const auto* test = ::testing::UnitTest::GetInstance()->current_test_info();
        dir = std::filesystem::temp_directory_path() /
              (std::string(test->test_suite_name()) + "_" + std::to_string(::getpid()) + "_" +
               test->name());
        std::filesystem::remove_all(dir);
        std::filesystem::create_directories(dir);
    }
    void TearDown() override { std::filesystem::remove_all(dir); }

    std::filesystem::path dir;
};

}  // namespace zolk::phytool
