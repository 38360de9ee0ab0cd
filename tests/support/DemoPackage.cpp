#include "support/DemoPackage.h"

#include <cstdlib>
#include <filesystem>

namespace testsupport {

std::string DemoDir() {
    const char* bin = std::getenv("ZEMBRA_BIN_DIR");
    return std::string(bin ? bin : "build/bin") + "/../demo";
}

std::string DemoPackagePath() { return DemoDir() + "/zembramorvanta_zembram.exe"; }

std::string DemoRoots() { return DemoDir() + "/ca/root.pem"; }

std::string MakeDemoPackage(const std::string& folder, const std::string& options) {
    // The script keeps its CA in folder/ca: a copy of the demo CA signs the
    // variant, so the same roots trust it.
    std::error_code ignored;
    std::filesystem::create_directories(folder, ignored);
    std::filesystem::copy(DemoDir() + "/ca", folder + "/ca",
                          std::filesystem::copy_options::recursive | std::filesystem::copy_options::skip_existing,
                          ignored);
    const char* source = std::getenv("ZEMBRA_SOURCE_DIR");
    const std::string command = std::string(source ? source : ".") + "/tools/demopackage/make_demo_package.sh '" +
                                folder + "' '" + DemoDir() + "/bin/demo_setup' '" + DemoDir() +
                                "/bin/ZembraMorvanta.exe' --name variant.exe " + options + " >/dev/null 2>&1";
    if (std::system(command.c_str()) != 0) return "";
    return folder + "/variant.exe";
}

}  // namespace testsupport
