#pragma once
// The signed demo setup package that tools/demopackage builds into the
// build tree (build/demo), and variants of it made with the same script.
#include <string>

namespace testsupport {

// build/demo: the package, its MD5 file, the demo CA (ca/) and the two
// programs it packs (bin/).
std::string DemoDir();
std::string DemoPackagePath();
// The demo CA's root certificate: trust it (Hosts/CaFile) to accept the package.
std::string DemoRoots();

// Packs a variant into folder/variant.exe with the script's options
// ("--hang", "--fail", "--unsigned", "--install-ms N"), signed by the demo CA unless
// unsigned. Returns its path, "" when the script failed.
std::string MakeDemoPackage(const std::string& folder, const std::string& options);

}  // namespace testsupport
