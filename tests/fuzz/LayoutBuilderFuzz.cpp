// libFuzzer target for the layout builder: any markup must build what it can
// into a headless window, lay out, paint and take a little input without
// crashing.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include <easylogging++.h>

#include "uitoolkit/headless/HeadlessWindow.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    el::Loggers::reconfigureAllLoggers(el::ConfigurationType::Enabled, "false");
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view markup(reinterpret_cast<const char*>(data), size);
    ZembraUI::CHeadlessWindow window;
    window.Resize({320, 240});
    if (!window.LoadMarkup(markup)) return 0;
    // Keep absurd layout sizes from turning into huge surfaces.
    window.Resize({320, 240});
    window.Pump();
    window.Click({40, 30});
    window.PressKey(ZembraUI::KeyCode::kTab);
    window.Type("a1");
    window.Wheel({100, 100}, -120);
    window.Host().AdvanceClock(1000);
    window.Pump();
    return 0;
}
