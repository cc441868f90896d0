// zolk-session: watch a link without radios: two stations and their hosts in virtual time.
#include <unistd.h>

#include <filesystem>
#include <iostream>
#include <string>
#include <vector>

#include "session_options.h"
#include "session_run.h"

int main(int argc, char** argv) {
    using zolk::sessiontool::kUsage;
    zolk::sessiontool::SessionOptions options;
    try {
        const std::vector<std::string_view> args(argv + 1, argv + argc);
        options = zolk::sessiontool::parseOptions(args);
    } catch (const zolk::sessiontool::BadArguments& e) {
        std::cerr << "zolk-session: " << e.what() << '\n' << kUsage;
        return 2;
    }
    if (options.help) {
        std::cout << kUsage;
        return 0;
    }
    // The stations keep their settings and logs in a folder of their own for the run.
    const bool keep = !options.logs.empty();
    const auto folder = keep ? std::filesystem::path(options.logs)
                             : std::filesystem::temp_directory_path() / ("zolk-session-" + std::to_string(::getpid()));
    int status = 1;
    try {
        status = zolk::sessiontool::runSession(options, folder, std::cout);
    } catch (const std::exception& e) {
        std::cerr << "zolk-session: " << e.what() << '\n';
    }
    std::error_code ignored;
    if (!keep) std::filesystem::remove_all(folder, ignored);
    return status;
}
