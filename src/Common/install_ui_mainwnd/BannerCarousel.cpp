#include "Common/install_ui_mainwnd/BannerCarousel.h"

#include <easylogging++.h>

#include "uitoolkit/controls/ControlUI.h"
#include "uitoolkit/controls/OptionUI.h"
#include "uitoolkit/manager/UIManager.h"

namespace {

constexpr char kBannerControl[] = "image_play";
constexpr char kDotPrefix[] = "image_play_option";
// Dots are looked for among the first ten; strip names hold two digits.
constexpr int kMaxDots = 10;
constexpr int kMaxBuiltInBanners = 99;

std::string BuiltInBannerName(int number) { return "skin\\anima\\" + std::to_string(number) + ".png"; }

}  // namespace

BannerCarousel::BannerCarousel(ZembraUI::CUIManager& manager, IWindowTimers& timers)
    : manager_(manager), timers_(timers) {}

BannerCarousel::~BannerCarousel() = default;

int BannerCarousel::CountBuiltInBanners() {
    int count = 0;
    while (count < kMaxBuiltInBanners && manager_.ImageByName(BuiltInBannerName(count + 1)) != nullptr) ++count;
    bannerCount_ = count;
    return count;
}

ZembraUI::CControlUI* BannerCarousel::Banner() {
    if (bannerCount_ < 0) CountBuiltInBanners();
    return manager_.ControlByName(kBannerControl);
}

void BannerCarousel::Prepare(EnumLanguage language, int softwareId) {
    ZembraUI::CControlUI* banner = Banner();
    if (banner == nullptr || animation_) return;
    MakeAnimation(banner, language, softwareId);
    animation_->BeginBuild({}, {});
    prepared_ = true;
    preparedLanguage_ = language;
    preparedSoftwareId_ = softwareId;
    timers_.SetTimer(kBuildTimer, kBuildStepIntervalMs);
}

void BannerCarousel::Start(EnumLanguage language, int softwareId) {
    ZembraUI::CControlUI* banner = Banner();
    if (banner == nullptr) {
        LOG(INFO) << " Banner control " << kBannerControl << " missing";
        return;
    }
    if (!TakePrepared(language, softwareId)) {
        if (animation_) {
            // Started again (another try) or prepared for another language:
            // the pictures are made afresh, in today's language.
            animation_->FinishSlide();
            timers_.KillTimer(kFrameTimer);
            timers_.KillTimer(kBuildTimer);
            manager_.RemoveAllImages();
        }
        MakeAnimation(banner, language, softwareId);
        // An empty prefix and suffix stand for the built-in set.
        animation_->Init(remoteArrived_ ? remotePrefix_ : "", remoteArrived_ ? remoteSuffix_ : "");
    }
    // A dot without a banner behind it would slide to a blank picture.
    const std::vector<ZembraUI::COptionUI*> dots = Dots();
    for (std::size_t n = 0; n < dots.size(); ++n) {
        if (bannerCount_ > 0 && int(n) >= bannerCount_) dots[n]->PutVisible(false);
    }
    bannerIndex_ = 1;
    running_ = true;
    SelectDot(1);
    if (bannerCount_ > 0) animation_->ShowImage(1);
    if (bannerCount_ >= 2) timers_.SetTimer(kNextBannerTimer, kBannerIntervalMs);
}

// What is left of the prepared build is finished at once (usually nothing).
bool BannerCarousel::TakePrepared(EnumLanguage language, int softwareId) {
    const bool usable = prepared_ && !remoteArrived_ && preparedLanguage_ == language &&
                        CAnima::DrawsWhiteText(preparedSoftwareId_) == CAnima::DrawsWhiteText(softwareId);
    prepared_ = false;
    if (!usable) return false;
    timers_.KillTimer(kBuildTimer);
    while (animation_->BuildStep()) {
    }
    return true;
}

void BannerCarousel::MakeAnimation(ZembraUI::CControlUI* banner, EnumLanguage language, int softwareId) {
    CAnima::Settings settings;
    settings.area = banner->Pos();
    settings.count = unsigned(bannerCount_);
    settings.width = kBannerWidth;
    settings.height = kBannerHeight;
    settings.language = language;
    settings.softwareId = softwareId;
    animation_ = std::make_unique<CAnima>(manager_, banner, settings);
}

bool BannerCarousel::OnTimer(int timerId) {
    if (timerId == kNextBannerTimer) {
        if (!running_) {
            timers_.KillTimer(kNextBannerTimer);
            return true;
        }
        const int next = bannerIndex_ + 1;
        const bool hasNext = bannerIndex_ >= 1 && bannerIndex_ <= kMaxDots - 1 && next <= bannerCount_ &&
                             Dot(next) != nullptr;
        SelectDot(hasNext ? next : 1);
        return true;
    }
    if (timerId == kFrameTimer) {
        if (animation_) animation_->ShowNextFrame();
        if (!animation_ || !animation_->Sliding()) timers_.KillTimer(kFrameTimer);
        return true;
    }
    if (timerId == kBuildTimer) {
        BuildStep();
        return true;
    }
    return false;
}

bool BannerCarousel::OnBannerSelect(const ZembraUI::TNotifyUI& notification) {
    if (notification.sender == nullptr) return false;
    int number = 0;
    for (int n = 1; n <= kMaxDots && number == 0; ++n) {
        ZembraUI::COptionUI* dot = Dot(n);
        if (dot != nullptr && static_cast<ZembraUI::CControlUI*>(dot) == notification.sender) number = n;
    }
    if (number == 0) return false;
    // After the run the page may stay; the dots still slide but nothing restarts the carousel.
    if (running_ && bannerCount_ >= 2) timers_.SetTimer(kNextBannerTimer, kBannerIntervalMs);
    PlaySlide(number);
    return true;
}

void BannerCarousel::RemoteBannersArrived(const BannerRecords& records, const std::string& workFolder) {
    remoteArrived_ = true;
    remotePrefix_ = workFolder.empty() || workFolder.back() == '/' ? workFolder : workFolder + "/";
    remoteSuffix_ = records.PictureSuffix();
    if (!animation_) return;
    // Building the whole set at once would hold the UI thread for a tenth
    // of a second or more; the banners in use stay until it is complete.
    animation_->BeginBuild(remotePrefix_, remoteSuffix_);
    timers_.SetTimer(kBuildTimer, kBuildStepIntervalMs);
}

// The set in use keeps sliding until the new one is swapped in; a slide
// under way is let finish first, so no slide mixes frames of both sets.
void BannerCarousel::BuildStep() {
    if (animation_ && animation_->Sliding()) return;
    if (animation_ && animation_->BuildStep()) return;
    timers_.KillTimer(kBuildTimer);
    if (animation_ && bannerCount_ > 0) animation_->ShowImage(bannerIndex_);
}

void BannerCarousel::Stop() {
    running_ = false;
    timers_.KillTimer(kNextBannerTimer);
    timers_.KillTimer(kFrameTimer);
    if (animation_) animation_->FinishSlide();
}

std::vector<ZembraUI::COptionUI*> BannerCarousel::Dots() const {
    std::vector<ZembraUI::COptionUI*> dots;
    for (int n = 1; n <= kMaxDots; ++n) {
        ZembraUI::COptionUI* dot = Dot(n);
        if (dot == nullptr) break;
        dots.push_back(dot);
    }
    return dots;
}

ZembraUI::COptionUI* BannerCarousel::Dot(int number) const {
    ZembraUI::CControlUI* control = manager_.ControlByName(kDotPrefix + std::to_string(number));
    return control != nullptr ? static_cast<ZembraUI::COptionUI*>(control->AsInterface("Option")) : nullptr;
}

// Checking a dot makes the toolkit announce "selectchanged", which the
// window hands back to OnBannerSelect.
void BannerCarousel::SelectDot(int number) {
    if (ZembraUI::COptionUI* dot = Dot(number)) dot->Select(true);
}

void BannerCarousel::PlaySlide(int to) {
    if (!animation_ || to == bannerIndex_) {
        bannerIndex_ = to;
        return;
    }
    animation_->Slide(bannerIndex_, to);
    bannerIndex_ = to;
    if (animation_->Sliding()) timers_.SetTimer(kFrameTimer, kFrameIntervalMs);
}
