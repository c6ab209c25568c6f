#pragma once

#include <QPixmap>

// The two 16 x 16 row images: nothing at all for a member that is not connected, a green tick
// mark for one that is. Drawn rather than loaded, so the program ships no image files.
QPixmap DrawBlankMemberImage();
QPixmap DrawOnlineMemberImage();
