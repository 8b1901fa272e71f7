#pragma once

#include <condition_variable>
#include <mutex>

namespace tervane {

// Who uses the link now. The link serves one thread at a time: the worker of a batch or an
// upload, or a signal poll running in the background. Work always gets the link, waiting
// only for a poll that is under way to end; a poll gets the link only while no work holds it
// and nobody holds polls off, so a poll's commands never fall between the commands of a batch.
class LinkTurns {
public:
    // Polls stay off until the matching ReleasePolls; returns at once. Holds nest.
    void HoldPolls();
    void ReleasePolls();

    // A worker's turn: holds polls off and waits for the poll under way, if any.
    void BeginWork();
    void EndWork() { ReleasePolls(); }

    // A poll's turn: false while work or a hold keeps polls off, or another poll runs.
    bool TryBeginPoll();
    void EndPoll();

    // Polls are held off now (by work or a hold).
    bool PollsHeld() const;

private:
    mutable std::mutex m_mutex;
    std::condition_variable m_pollEnded;
    int m_holds = 0;
    bool m_polling = false;
};

// A worker's turn for the length of a scope.
class WorkTurn {
public:
    explicit WorkTurn(LinkTurns& turns)
        : m_turns(turns)
    {
        m_turns.BeginWork();
    }
    ~WorkTurn() { m_turns.EndWork(); }
    WorkTurn(const WorkTurn&) = delete;
    WorkTurn& operator=(const WorkTurn&) = delete;

private:
    LinkTurns& m_turns;
};

// A poll's turn for the length of a scope, when it was free: test with Taken().
class PollTurn {
public:
    explicit PollTurn(LinkTurns& turns)
        : m_turns(turns)
        , m_taken(turns.TryBeginPoll())
    {
    }
    ~PollTurn()
    {
        if (m_taken)
            m_turns.EndPoll();
    }
    PollTurn(const PollTurn&) = delete;
    PollTurn& operator=(const PollTurn&) = delete;
    bool Taken() const { return m_taken; }

private:
    LinkTurns& m_turns;
    bool m_taken;
};

} // namespace tervane
