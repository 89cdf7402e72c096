#pragma once

// Status notification codes of the Internet client, as the tools' status tables
// number them.
namespace inet::Status {

inline constexpr int ResolvingName = 10;
inline constexpr int NameResolved = 11;
inline constexpr int ConnectingToServer = 20;
inline constexpr int ConnectedToServer = 21;
inline constexpr int SendingRequest = 30;
inline constexpr int RequestSent = 31;
inline constexpr int ReceivingResponse = 40;
inline constexpr int ResponseReceived = 41;
inline constexpr int ControlResponseReceived = 42;
inline constexpr int ClosingConnection = 50;
inline constexpr int ConnectionClosed = 51;
inline constexpr int HandleCreated = 60;
inline constexpr int HandleClosing = 70;
inline constexpr int RequestComplete = 100;
inline constexpr int Redirect = 110;

} // namespace inet::Status
