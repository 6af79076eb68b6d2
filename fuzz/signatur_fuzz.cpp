// A bundle's detached signature (Contents/_CodeSignature/CodeSignature, DER
// CMS) checked against its file list. The seeds were signed over the list
// below by a test maker certificate under the test root below, so mutations
// reach the signing time, the signer's certificate and the chain check.

#include <cstdint>
#include <ctime>
#include <string>

#include "platform/linux/signatur/cms.h"
#include "pruefen.h"

namespace {

constexpr std::string_view testAnker =
    "-----BEGIN CERTIFICATE-----\n"
    "MIIDHTCCAgWgAwIBAgIUF+1WfE5ETGZZaFnb3o1tEuNZGCEwDQYJKoZIhvcNAQEL\n"
    "BQAwFTETMBEGA1UEAwwKRnV6eiBBbmtlcjAgFw0yNjEyMDcwNjM2MjdaGA8yMTI2\n"
    "MTExMzA2MzYyN1owFTETMBEGA1UEAwwKRnV6eiBBbmtlcjCCASIwDQYJKoZIhvcN\n"
    "AQEBBQADggEPADCCAQoCggEBAMhlFrpN5NrHFyr5klxUHZo7pdk7grNOWEhbWkOe\n"
    "jq2MrruQvqnm42k+2QuiFVgCvppwIfqRP7/ho+2ivbe++RaxC6oOaKbRqtdWRkWD\n"
    "essqab4R/hMYHfOTr2r8IOHUbIqnB+KP6NwSKk5mqJlxpD89Sk6bQna7iLkyzf7L\n"
    "zjF3/h4SRTkkbhCzEZPZxyV/brzkC0inLNpzQrTrdI5e85rLgkXYeOBGCxH+tXgZ\n"
    "EC79OSHxqL3R6koIu3ilIITypWy85Xmb3k1MPQMk6E4Vxu9jPJg6mvsHspEiRE1w\n"
    "zx913hfAJyRgsF3KOqaU1eFfFazMYXrM4gKLRloFdPOiBS8CAwEAAaNjMGEwHQYD\n"
    "VR0OBBYEFEkV+yLCwXvCkr3O7i88KR0jkuLKMB8GA1UdIwQYMBaAFEkV+yLCwXvC\n"
    "kr3O7i88KR0jkuLKMA8GA1UdEwEB/wQFMAMBAf8wDgYDVR0PAQH/BAQDAgIEMA0G\n"
    "CSqGSIb3DQEBCwUAA4IBAQCb9bufeUz2QwdwQBBZ+VYymsZ2z4dd96ZreAFa/CBE\n"
    "P0a10arnMe4ChQLspFeX3U3MCLTFtghDenSzCOq5qt8vDzOEFHMikZedkP0+lNam\n"
    "JNRcyU9akZNCaq1c8NyCn6hCHx+mF87rpeh8S/W+BN30BwhHdYXpwyfiCQJ9a0wg\n"
    "4iX/4Jyrl72m/uEdsR2mIVBO97h28wM4Dc0HEd/J2MZ3XD7T/vvRgHg3tRsI3tN5\n"
    "trWKUC71HqBFBl1R4XUELYTuxc5uQAVGI+FHs+SiUgUvdXiHKkF9T7jCpq9t5i9f\n"
    "g6D9d70/mTdCFnHiIBCQMktQIA8O7uAp95EvPLQAW1Xc\n"
    "-----END CERTIFICATE-----\n";

constexpr std::string_view liste =
    "identifier de.talerwacht.geld-bote.tunnel.demo\n"
    "2d711642b726b04401627ca9fbac32f5c8530fb1903cc4db02258717921a4881  Contents/Info.plist\n";

// Fixed, and after the seeds' signing time, so that runs repeat.
constexpr std::time_t jetzt = 4102444800;  // 2100-01-01

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* daten, std::size_t groesse) {
  static const tw::Zertifikat anker = tw::zertifikatLesen(testAnker);
  TW_PRUEFEN(anker);
  const std::string_view der(reinterpret_cast<const char*>(daten), groesse);
  const auto pruefung = tw::cmsPruefen(liste, der, anker.get(), jetzt);
  if (pruefung.fehler) return 0;
  TW_PRUEFEN(pruefung.unterzeichner.ketteZumAnker == pruefung.unterzeichner.kettenfehler.empty());
  // A signature that holds for the list holds for no other text.
  TW_PRUEFEN(tw::cmsPruefen(std::string(liste) + "x", der, anker.get(), jetzt).fehler);
  return 0;
}
