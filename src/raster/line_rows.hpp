#pragma once

// The pixels of a clipped line walk, handed out row by row from the top.
//
// In any one row the walk sets a single run of neighbouring pixels: one
// pixel when y is the major axis, a run along x otherwise. A shape that
// sweeps rows can therefore paint a line's pixels while the row is in cache,
// instead of walking the line afterwards and touching a new row on almost
// every step of a steep edge.
//
// A walk that climbs is started from its last visit and stepped backwards.
// The backward step keeps the forward accumulator's form once it is mirrored
// (remainder' = two_dmajor - 1 - remainder), so both directions share one
// loop and visit exactly the forward walk's pixels.

#include <algorithm>
#include <cstdint>

#include "raster/line_walk.hpp"

namespace pixpen::detail {

class LineRows {
  public:
    explicit LineRows(const LineSegment &segment)
        : x_(segment.x), y_(segment.y), left_(segment.count), remainder_(segment.remainder),
          two_dminor_(segment.two_dminor), two_dmajor_(segment.two_dmajor),
          major_dx_(segment.major_dx), minor_dx_(segment.minor_dx),
          steep_(segment.major_dy != 0) {
        if (segment.major_dy < 0 || segment.minor_dy < 0) {
            start_from_last_visit(segment);
        }
        if (!steep_ && two_dminor_ > 0) {
            // Visit index at which each following row begins:
            // ceil((j * two_dmajor - remainder) / two_dminor) for j = 1, 2, ...
            const std::int64_t first_end = two_dmajor_ - remainder_ + two_dminor_ - 1;
            row_end_ = first_end / two_dminor_;
            end_remainder_ = first_end % two_dminor_;
            end_step_ = two_dmajor_ / two_dminor_;
            end_step_remainder_ = two_dmajor_ % two_dminor_;
        }
    }

    bool done() const { return left_ == 0; }
    std::int64_t row() const { return y_; }

    // The current row's run, lowest x first; then moves to the next row.
    void take_run(std::int64_t &x_first, std::int64_t &x_last) {
        if (steep_) {
            x_first = x_last = x_;
            --left_;
            remainder_ += two_dminor_;
            if (remainder_ >= two_dmajor_) {
                remainder_ -= two_dmajor_;
                x_ += minor_dx_;
            }
        } else {
            const std::int64_t visits = std::min(left_, visits_in_row());
            const std::int64_t x_end = x_ + (visits - 1) * major_dx_;
            x_first = std::min(x_, x_end);
            x_last = std::max(x_, x_end);
            left_ -= visits;
            x_ = x_end + major_dx_ + minor_dx_;
        }
        ++y_;
    }

  private:
    std::int64_t visits_in_row() {
        if (two_dminor_ == 0) {
            return left_;
        }
        const std::int64_t visits = row_end_ - row_begin_;
        row_begin_ = row_end_;
        // Without a branch, as the carry follows no pattern a predictor
        // could learn.
        end_remainder_ += end_step_remainder_;
        const std::int64_t carry = end_remainder_ >= two_dminor_ ? 1 : 0;
        end_remainder_ -= two_dminor_ & -carry;
        row_end_ += end_step_ + carry;
        return visits;
    }

    void start_from_last_visit(const LineSegment &segment) {
        // The count times two_dminor can pass 64 bits on a very wide image.
        const wide_int total = wide_int(remainder_) + wide_int(left_ - 1) * two_dminor_;
        const std::int64_t minor_steps = static_cast<std::int64_t>(total / wide_int(two_dmajor_));
        remainder_ = static_cast<std::int64_t>(total - wide_int(minor_steps) * two_dmajor_);
        remainder_ = two_dmajor_ - 1 - remainder_;
        x_ += (left_ - 1) * segment.major_dx + minor_steps * segment.minor_dx;
        y_ += (left_ - 1) * segment.major_dy + minor_steps * segment.minor_dy;
        major_dx_ = -major_dx_;
        minor_dx_ = -minor_dx_;
    }

    std::int64_t x_, y_;
    std::int64_t left_; // visits still to hand out
    std::int64_t remainder_;
    std::int64_t two_dminor_, two_dmajor_;
    std::int64_t major_dx_, minor_dx_;
    bool steep_; // y is the major axis: one pixel per row
    // Visit index (from the first) where the current row begins and ends,
    // the end kept as a quotient and remainder by two_dminor.
    std::int64_t row_begin_ = 0, row_end_ = 0, end_remainder_ = 0;
    std::int64_t end_step_ = 0, end_step_remainder_ = 0; // two_dmajor / two_dminor

};

} // namespace pixpen::detail
