#pragma once

#include <QtGlobal>
#include <functional>

// Told how many of total items are done; returns false to stop the work there.
using Progress = std::function<bool(qsizetype done, qsizetype total)>;
