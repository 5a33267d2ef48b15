#include "csharedhandle.h"

CSharedHandle::CSharedHandle(const QString& ip, const QString& userName, const QString& password,
                             int matrixType, const QString& version, const QString& model, int bootId)
    : handleIp(ip)
    , handleUser(userName)
    , handlePassword(password)
    , handleType(matrixType)
    , handleVersion(version)
    , handleModel(model)
    , handleBoot(bootId)
{
}

CSharedHandle::~CSharedHandle() = default;
