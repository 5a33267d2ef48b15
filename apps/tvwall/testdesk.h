#pragma once

#include <QByteArray>

class QWidget;

/**
 * @brief A test hook: drives the page the way an operator at one desk would, so
 * that a test can run two desks as two tvwall processes against one decoder
 * daemon. Only the environment variable TVWALL_TEST_DESK turns it on; it is
 * not an option of the program.
 *
 *     TVWALL_TEST_DESK="connect"
 *         waits until every stored decoder has logged in, every listed TV wall
 *         is connected and the walls the main decoders hold have been taken
 *         over, then quits;
 *     TVWALL_TEST_DESK="save NAME OUTPUT,OUTPUT,... overwrite|take|cancel"
 *         waits for the wall NAME to be connected, opens it in the wizard,
 *         binds the screens in row-major order to the outputs, prints
 *         "desk: ready", waits for a line on its standard input, saves,
 *         confirms, answers a difference dialog with the choice given, and
 *         quits once the wizard has closed (NAME without spaces; a cancelled
 *         difference closes the wizard with its cancel button).
 *
 * What the operator would see goes to standard output, one line each:
 * "desk: alert KIND TEXT" for every notice, "desk: difference ROW" for each
 * row of a difference dialog, "desk: marked NAME" for each wall carrying the
 * changed-on-decoder mark at the end, then "desk: done" (or "desk: timeout"
 * and exit code 3 after a minute).
 */
namespace TestDesk {

void start(QWidget* window, const QByteArray& script);

} // namespace TestDesk
