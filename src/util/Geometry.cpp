#include "util/Geometry.h"

#include <cmath>

namespace {

// Both placements share the two formulas; only the sense of the comparison differs.
// The comparison is made on exact 64-bit cross products, the offsets in double precision
// in the order the rounding rule fixes (it decides pixels that end up in stored crops).
TRect KeepTargetWidth(const TRect &Reference, const TRect &Target)
{
    const double W1 = Reference.Width(), H1 = Reference.Height();
    const double W2 = Target.Width(), H2 = Target.Height();
    const auto d = static_cast<std::int32_t>(std::floor(((W2 / W1) * H1 - H2) / 2));
    return {Target.Left, Target.Top - d, Target.Right, Target.Bottom + d};
}

TRect KeepTargetHeight(const TRect &Reference, const TRect &Target)
{
    const double W1 = Reference.Width(), H1 = Reference.Height();
    const double W2 = Target.Width(), H2 = Target.Height();
    const auto d = static_cast<std::int32_t>(std::floor((W1 * (H2 / H1) - W2) / 2));
    return {Target.Left - d, Target.Top, Target.Right + d, Target.Bottom};
}

bool HasArea(const TRect &r)
{
    return r.Width() > 0 && r.Height() > 0;
}

} // namespace

TRect AspectFitRect(const TRect &Reference, const TRect &Target)
{
    if (!HasArea(Reference))
        return Target;
    const std::int64_t lhs = std::int64_t(Reference.Width()) * Target.Height();
    const std::int64_t rhs = std::int64_t(Reference.Height()) * Target.Width();
    return lhs > rhs ? KeepTargetWidth(Reference, Target) : KeepTargetHeight(Reference, Target);
}

TRect AspectCoverRect(const TRect &Reference, const TRect &Target)
{
    if (!HasArea(Reference))
        return Target;
    const std::int64_t lhs = std::int64_t(Reference.Width()) * Target.Height();
    const std::int64_t rhs = std::int64_t(Reference.Height()) * Target.Width();
    return lhs < rhs ? KeepTargetWidth(Reference, Target) : KeepTargetHeight(Reference, Target);
}
