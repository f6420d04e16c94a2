#pragma once

#include <chrono>
#include <cstdint>

#include "platform/clock.h"
#include "platform/sim/sim_machine.h"

namespace calventa::app {

// The board's clock, optionally kept up with real time: following starts at the wall clock's
// time (a board file's clock stands at a fixed date, which keeps tests and the command line's
// output repeatable, but a program running on a board shows today), and before each look at
// the time the virtual time is moved on to the real time elapsed since, when behind it.
class PacedBoardClock final : public platform::Clock
{
public:
    // Without a wall clock following keeps the board's date.
    PacedBoardClock(sim::SimMachine& board, platform::Clock* wall) : m_board(board), m_wall(wall) {}

    void Follow()
    {
        if (m_wall != nullptr) {
            m_board.SetNow(m_wall->Now());
        }
        m_following = true;
        m_realStart = std::chrono::steady_clock::now();
        m_virtualStart = m_board.ElapsedMs();
    }
    platform::LocalDateTime Now() override
    {
        CatchUp();
        return m_board.Now();
    }
    void SleepMs(uint32_t milliseconds) override { m_board.SleepMs(milliseconds); }

private:
    void CatchUp()
    {
        if (!m_following) {
            return;
        }
        const auto real =
            std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - m_realStart);
        const uint64_t target = m_virtualStart + static_cast<uint64_t>(real.count());
        const uint64_t elapsed = m_board.ElapsedMs();
        if (target > elapsed) {
            m_board.AdvanceMs(target - elapsed);
        }
    }

    sim::SimMachine& m_board;
    platform::Clock* m_wall;
    bool m_following = false;
    std::chrono::steady_clock::time_point m_realStart;
    uint64_t m_virtualStart = 0;
};

} // namespace calventa::app
