#include "programmes/GuideLog.h"

Q_LOGGING_CATEGORY(lcGuide, "halcyon.guide", QtWarningMsg)
