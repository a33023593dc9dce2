// Every fixed wait of the links and the transfer procedures goes through one
// sleeper, so tests can assert the waits without spending them.
#pragma once

#include <functional>
#include <vector>

class ISleeper {
public:
    virtual ~ISleeper() = default;
    virtual void Sleep(int milliseconds) = 0;
};

// Really waits.
class RealSleeper : public ISleeper {
public:
    void Sleep(int milliseconds) override;
};

// Records the waits without spending them; onSleep, when set, runs at each
// wait (tests use it to let a simulated reader answer in the meantime).
class RecordingSleeper : public ISleeper {
public:
    void Sleep(int milliseconds) override
    {
        waits.push_back(milliseconds);
        if (onSleep)
            onSleep(milliseconds);
    }
    int Total() const
    {
        int sum = 0;
        for (int w : waits)
            sum += w;
        return sum;
    }
    std::vector<int> waits;
    std::function<void(int)> onSleep;
};

// The sleeper the program uses; tests may replace it.
ISleeper& DefaultSleeper();
void SetDefaultSleeper(ISleeper* sleeper);
