#pragma once
// The running page's banner carousel as the window drives it (UI thread
// only): the banner control image_play, its dots image_play_option1.. (one
// option group), the next-banner timer, the frame timer of a slide and the
// build timer that makes the downloaded set one step per tick.
// The window forwards its timers, the dots' "selectchanged" and the
// banners-arrived message.
#include <memory>
#include <string>
#include <vector>

#include "Common/install_ui_mainwnd/Anima.h"
#include "Common/install_ui_mainwnd/BannerRecords.h"
#include "Common/install_ui_mainwnd/IWindowTimers.h"
#include "EnumLanguage.h"
#include "uitoolkit/manager/NotifyUI.h"

namespace ZembraUI {
class CControlUI;
class COptionUI;
class CUIManager;
}  // namespace ZembraUI

class BannerCarousel {
public:
    static constexpr int kNextBannerTimer = 2000;
    static constexpr int kFrameTimer = 2001;
    static constexpr int kBuildTimer = 2002;
    // Between two steps of building the downloaded set (one picture or one
    // strip each, a few milliseconds), so the window keeps painting.
    static constexpr unsigned kBuildStepIntervalMs = 10;
    static constexpr unsigned kBannerIntervalMs = 7000;
    // At least this long between two frames of a slide.
    static constexpr unsigned kFrameIntervalMs = 50;
    static constexpr int kBannerWidth = 650;
    static constexpr int kBannerHeight = 300;

    BannerCarousel(ZembraUI::CUIManager& manager, IWindowTimers& timers);
    ~BannerCarousel();

    // Number of built-in banners "skin/anima/%d.png" found from 1 upwards (InitWindow).
    int CountBuiltInBanners();
    // While the setting page shows: builds the built-in set one step per
    // build tick, so that the install click finds it made.
    void Prepare(EnumLanguage language, int softwareId);
    // Install start: builds the animation (texts of anima_text_N drawn in the language's font), checks dot 1, starts timer 2000.
    void Start(EnumLanguage language, int softwareId);
    // Timer 2000, the animation's frame and build timers; false for any other id.
    bool OnTimer(int timerId);
    // "selectchanged" of a banner dot; false when the sender is not a dot.
    bool OnBannerSelect(const ZembraUI::TNotifyUI& notification);
    // Message 0xB88: the remote banners are on disk. They are built on the
    // build timer and replace the banners shown once all of them are ready.
    void RemoteBannersArrived(const BannerRecords& records, const std::string& workFolder);
    // End of the run: stops timer 2000 and any slide.
    void Stop();

    int BannerIndex() const { return bannerIndex_; }
    int BannerCount() const { return bannerCount_; }
    bool RemoteBannersShown() const { return remoteArrived_; }
    const CAnima* Animation() const { return animation_.get(); }

private:
    // The banner control, with the built-in banners counted first.
    ZembraUI::CControlUI* Banner();
    std::vector<ZembraUI::COptionUI*> Dots() const;
    ZembraUI::COptionUI* Dot(int number) const;
    void SelectDot(int number);
    void PlaySlide(int to);
    void BuildStep();
    // The prepared set when it was made for this language and text colour.
    bool TakePrepared(EnumLanguage language, int softwareId);
    void MakeAnimation(ZembraUI::CControlUI* banner, EnumLanguage language, int softwareId);

    ZembraUI::CUIManager& manager_;
    IWindowTimers& timers_;
    int bannerCount_ = -1;  // not counted yet
    int bannerIndex_ = 1;
    bool running_ = false;
    bool remoteArrived_ = false;
    bool prepared_ = false;
    EnumLanguage preparedLanguage_ = English;
    int preparedSoftwareId_ = 0;
    std::string remotePrefix_;
    std::string remoteSuffix_;
    std::unique_ptr<CAnima> animation_;
};
