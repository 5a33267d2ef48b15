#include "csharedhandle.h"

CSharedHandle::CSharedHandle(const QString& ip, const QString& userName, const QString& password,
                             int matrixType, const QString& version)
    : handleIp(ip)
    , handleUser(userName)
    , handlePassword(password)
    , handleType(matrixType)
    , handleVersion(version)
{
}

CSharedHandle::~CSharedHandle() = default;
