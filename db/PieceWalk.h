#pragma once
// Long walks through memory (a keyword through every cached text) split into pieces
// that the calling thread and one helper thread take in turn, so a second processor
// halves the wait. The caller never waits for the helper to start: pieces nobody
// took yet are the caller's, and only a piece in the helper's hands is waited for.

#include <cstddef>
#include <functional>

// Runs piece(0) .. piece(count - 1), each once, and returns when all have run.
// Pieces must touch disjoint data; they may run on two threads at once.
void RunPieces(size_t count, const std::function<void(size_t)>& piece);
