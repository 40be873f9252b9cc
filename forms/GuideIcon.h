#pragma once

#include <QIcon>

// The television guide's own window icon, 48 x 48: a screen over a page of listings.
QIcon guideWindowIcon();
