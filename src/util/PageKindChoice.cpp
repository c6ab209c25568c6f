#include "util/PageKindChoice.hpp"

namespace large_pages {

PageKind ChoosePageKind(const PageCosts& costs, std::size_t newRoomBytes) {
    // Until both kinds are timed, large pages, as wherever they are cheap: the first mappings
    // then provide the timings.
    if (costs.largeSamples == 0 || costs.smallSamples == 0) {
        return PageKind::kLarge;
    }
    if (costs.largeUsPer4Kb <= costs.smallUsPer4Kb) {
        return PageKind::kLarge;
    }
    const bool retry = costs.smallMappingsSinceLargeSample >= kRetryLargeAfterMappings &&
                       newRoomBytes <= kRetryLargeRoomBytes;
    return retry ? PageKind::kLarge : PageKind::kSmall;
}

PageCosts WithSmallSample(PageCosts costs, double usPer4Kb) {
    ++costs.smallSamples;
    costs.smallUsPer4Kb += (usPer4Kb - costs.smallUsPer4Kb) / costs.smallSamples;
    return costs;
}

PageCosts WithLargeSample(PageCosts costs, double usPer4Kb) {
    costs.largeUsPer4Kb = costs.largeSamples == 0 ? usPer4Kb : (costs.largeUsPer4Kb + usPer4Kb) / 2;
    ++costs.largeSamples;
    costs.smallMappingsSinceLargeSample = 0;
    return costs;
}

PageCosts AfterSmallMapping(PageCosts costs) {
    ++costs.smallMappingsSinceLargeSample;
    return costs;
}

}  // namespace large_pages
