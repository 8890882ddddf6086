#pragma once

#include <QByteArray>
#include <QString>

namespace parlomax::cli {

// The program's results (lists, reports, help) go to standard output through
// here and nowhere else, so that a result that could not be written (a full
// disk, a closed descriptor) is noticed in one place and said once, at the
// end, instead of the program passing for having done its work. After the
// first failure nothing more is written.
void WriteOut(const QByteArray& bytes);
void WriteOut(const QString& text);

// 0 when everything reached standard output, else the system's error
// number of the first write that failed.
int StandardOutputError();

// Started with standard input, output or error closed, the program would
// give that number to the next file it opens (a telephone's socket, say)
// and print its results into it. A closed one is taken by a descriptor that
// refuses writes, so that a result written there fails as it should.
void HoldClosedStandardDescriptors();

}  // namespace parlomax::cli
