# The Qt for Windows the team builds: Debian's own Qt version, whose host tools (moc, rcc, uic) the cross
# build runs, from Debian's source package of it.
TALVOR_QT_VERSION=6.4.2
TALVOR_QT_DEBIAN_VERSION=$TALVOR_QT_VERSION+dfsg-10
