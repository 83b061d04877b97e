#pragma once
// How every benchmark measures and reports: each contender runs several times, the contenders
// in turn (so that a change in the machine's load falls on all of them alike), and the median
// of each one's runs is printed beside its peer's as "ratio A/B: X.XX" (A's rate over B's).
#include <QString>
#include <QStringList>
#include <functional>
#include <string>
#include <vector>

namespace bench {

// Rounds per contender: TARNWICK_BENCH_ROUNDS when set (at least 1), else 5.
int rounds();

// Runs the contenders in turn, `rounds` times each; each returns the seconds it took. The
// result holds each contender's median, in the contenders' order. With TARNWICK_BENCH_ONLY
// set to a contender's number (from 1) only that one runs, for a profile of it; the others'
// medians are then 0.
std::vector<double> alternatingMedians(int rounds,
                                       const std::vector<std::function<double()>>& contenders);

// Seconds taken by work.
double secondsOf(const std::function<void()>& work);

// Runs a peer program to its end and returns what it wrote to its standard output; exits the
// benchmark with the program's error output when it cannot run or fails.
std::string runPeer(const QString& program, const QStringList& arguments);

// "<name>: <what> in <seconds> s (<rate> <unit>)", one line per contender.
void printRate(const std::string& name, double amount, const std::string& unit, double seconds);
// "ratio A/B: X.XX" with A's rate over B's, from the seconds each took for the same work.
void printRatio(const std::string& a, const std::string& b, double secondsA, double secondsB);

}  // namespace bench
