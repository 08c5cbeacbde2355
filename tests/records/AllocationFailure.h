#pragma once

// Makes the program's non-throwing array allocations fail while an instance lives, so that the
// paths taken when memory runs out can be tested. The record list allocates its slots that way.
class AllocationFailure {
public:
    AllocationFailure();
    ~AllocationFailure();
    AllocationFailure(const AllocationFailure&) = delete;
    AllocationFailure& operator=(const AllocationFailure&) = delete;

    // How many allocations were refused so far.
    static int Refused();
};
