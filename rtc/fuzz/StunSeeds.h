// The ICE credentials of the STUN corpus's seeds (corpus-stun/seed-*): the
// browser's check is for this session, and the answers to our requests are
// signed with the browser's password. The fuzz target and the corpus
// replay make their agent with them.
#pragma once

namespace rtc {
namespace stunseeds {

const char c_szLocalUfrag[] = "srv1";
const char c_szLocalPwd[] = "localPasswordOf22Chars";
const char c_szRemoteUfrag[] = "brws";
const char c_szRemotePwd[] = "remotePasswordOf22Char";

} // namespace stunseeds
} // namespace rtc
