// Keeps C++ exceptions from crossing the engine's exported calls.
#pragma once

// Runs the body of an exported call so that no C++ exception (memory exhaustion, mostly)
// crosses into a caller that cannot handle one: the call fails cleanly instead.
template <typename Result, typename Body> Result GuardedCall(Result failure, Body body) {
    try {
        return body();
    } catch (...) {
        return failure;
    }
}
