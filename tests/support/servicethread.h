#pragma once

#include <functional>

namespace pral_matrix {
class MatrixSdkWorker;
}

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

/**
 * @brief Runs request here and returns the int that signal of the decoder service carries first after it.
 *
 * Returns INT_MIN when no such signal came within timeoutMs.
 */
int serviceResult(void (pral_matrix::MatrixSdkWorker::*signal)(int), const std::function<void()>& request,
                  int timeoutMs = 5000);
