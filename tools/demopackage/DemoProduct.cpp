// The demo product: it shows that it runs by saying so and by leaving a
// note beside itself with the time and its arguments.
#include <cstdio>
#include <ctime>
#include <fstream>
#include <string>
#include <unistd.h>

int main(int argc, char** argv) {
    char self[4096];
    const ssize_t length = readlink("/proc/self/exe", self, sizeof self - 1);
    const std::string path = length > 0 ? std::string(self, static_cast<std::size_t>(length)) : argv[0];
    const std::string notePath = path.substr(0, path.find_last_of('/') + 1) + "ZembraMorvanta.started";
    std::ofstream note(notePath, std::ios::app);
    note << "started " << std::time(nullptr) << " pid " << getpid();
    for (int i = 1; i < argc; ++i) note << ' ' << argv[i];
    note << '\n';
    std::printf("Zembra Morvanta is running.\n");
    return 0;
}
