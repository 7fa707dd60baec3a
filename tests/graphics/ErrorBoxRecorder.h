// Collects the error boxes shown while it is installed.
#pragma once

#include <string>
#include <vector>

#include "MzLog.h"

class ErrorBoxRecorder : public MzErrorBoxView {
  public:
    std::vector<std::string> texts;

    ErrorBoxRecorder() { MzSetErrorBoxView(this); }
    ~ErrorBoxRecorder() override { MzSetErrorBoxView(nullptr); }
    void Show(const std::string& text) override { texts.push_back(text); }
};
