#pragma once

#include <QIcon>
#include <QPixmap>

// The station's pictures, drawn as vectors at the size and pixel density asked for, so they
// stay sharp on high-DPI screens.
namespace Artwork {

enum class Banner {
    FingerOnSensor = 0,
    Spare = 1, // never shown
    RemoveFinger = 2,
    Delete = 3,
    Complete = 4,
    SaveUpload = 5,
    Enroll = 6,
    Error = 7,
    Establishing = 8,
    CommunicationError = 9,
};

QPixmap bannerPicture(int element, int logicalSize, qreal devicePixelRatio);
QIcon applicationIcon();

enum class Button {
    Add,
    Edit,
    Delete,
    Folder,
    Reconnect,
    Enroll,
    DeleteUser,
    ViewUsers,
    NewUnit,
    ResetPassword
};
QIcon buttonIcon(Button which);

} // namespace Artwork
