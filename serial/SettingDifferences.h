#pragma once
// The lines that tell the user which settings the driver refused or changed, in Chinese, e.g.
// "数据位：请求 7，实际 8" or "校验位：请求 Even，实际 None". Values use the names of the
// settings lists (parity "None", "Odd", "Even", "Mark", "Space"; stop bits "1", "1.5", "2").
#include <string>
#include <vector>

#include "TerminalDevice.h"

// One line per setting in which actual differs from requested. Parity and stop-bit codes
// outside their ranges mean "leave as it is" and are not compared.
std::vector<std::string> DescribeSettingDifferences(const LineSettings& requested,
                                                    const LineSettings& actual);
// The line for a flow-control mode (0..5) that the driver did not take, "" when it did.
std::string DescribeFlowDifference(EFlowControl eRequested, EFlowControl eActual);
