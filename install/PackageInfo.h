// The package info of one component taking part in a run.
#pragma once

class CPackageInfo {
public:
    virtual ~CPackageInfo() = default;
};
