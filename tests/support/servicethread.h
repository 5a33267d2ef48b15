#pragma once

#include <functional>

/**
 * @brief Runs fn on the decoder service's thread and returns when it is done.
 *
 * While it waits, the calling (GUI) thread keeps running its event loop, so a
 * result that fn emits to a blocking-queued receiver on this thread is
 * delivered, modal dialogs included; a plain wait would deadlock. Use it to
 * emit service signals with exact values:
 *
 *     runOnServiceThread([&] { emit worker.signalSetLayoutResult(-30); });
 *
 * Returns false when fn did not finish within timeoutMs.
 */
bool runOnServiceThread(std::function<void()> fn, int timeoutMs = 30000);
