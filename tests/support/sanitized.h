// sanitized.h - defines XMLPARSER_SANITIZED when the tests are built with the
// address or thread sanitizer, so that giant or allocator-sensitive cases can
// scale down.
#ifndef XMLPARSER_TESTS_SANITIZED_H
#define XMLPARSER_TESTS_SANITIZED_H

#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
#define XMLPARSER_SANITIZED 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(thread_sanitizer)
#define XMLPARSER_SANITIZED 1
#endif
#endif

#endif
