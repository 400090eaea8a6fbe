#pragma once

#include "network/netprovider.h"

#include <QByteArray>
#include <array>

namespace varnel {

// The workgroups and machines of the network in fixed tables indexed from 1. Entry 0 of every
// table is never filled. Names are at most 29 bytes.
class NetBrowser {
public:
    static constexpr int kTableSize = 256;
    static constexpr int kMaxHosts = 254;
    static constexpr int kMaxGroups = 255;
    static constexpr int kMaxName = 29;
    // Each level of a listing is taken in one read of a buffer of this many bytes: the records that
    // do not fit are not fetched at all.
    static constexpr qsizetype kListingBuffer = 16384;
    // The bytes one record takes in that buffer.
    static qsizetype RecordCost(const NetResource& record);

    explicit NetBrowser(NetProvider& provider);

    // Clears the tables and collects workgroups and hosts anew. Returns HostCount.
    int Enumerate();
    int EnumerateGroups();

    bool GetHostName(QByteArray& dst, int i) const;
    bool GetHostGroupName(QByteArray& dst, int i) const;
    bool GetHostGroupProvider(QByteArray& dst, int i) const;
    bool GetGroupName(QByteArray& dst, int i) const;
    bool GetGroupProvider(QByteArray& dst, int i) const;
    int GetHostCount() const { return m_hostCount; }
    int GetGroupCount() const { return m_groupCount; }
    // The same names as values: empty outside the tables.
    QByteArray HostName(int i) const;
    QByteArray GroupName(int i) const;
    // The workgroup (1-based) that host i belongs to; 0 outside the table.
    int GroupOfHost(int i) const;
    // The last listing found at least one host.
    bool NetworkFound() const { return m_networkFound; }

private:
    int m_groupCount = 0;
    int m_hostCount = 0;
    std::array<QByteArray, kTableSize> m_hostNames;
    std::array<int, kTableSize> m_hostGroups{};
    std::array<QByteArray, kTableSize> m_groupNames;
    std::array<QByteArray, kTableSize> m_groupProviders;
    bool m_networkFound = false;
    NetProvider& m_provider;
};

} // namespace varnel
