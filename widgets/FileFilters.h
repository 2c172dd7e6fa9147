// File dialog filters written as "Name (*.x)|*.x|Other|*.y||" (name and patterns in pairs)
// turned into Qt's name filters.
#pragma once

#include <QString>
#include <string>

// "Name (*.x);;Other (*.y)": each name as written when it shows its patterns in brackets,
// else followed by its patterns in brackets (";" between patterns becomes a blank).
QString ToQtNameFilters(const std::string& filter);
