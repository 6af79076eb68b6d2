#include "platform/linux/signatur/cms.h"

#include <openssl/bio.h>
#include <openssl/cms.h>
#include <openssl/err.h>
#include <openssl/pem.h>
#include <openssl/x509v3.h>

#include <climits>
#include <vector>

namespace tw {
namespace {

template <auto F>
struct Frei {
  template <typename T>
  void operator()(T* p) const {
    F(p);
  }
};
using Bio = std::unique_ptr<BIO, Frei<BIO_free>>;
using Cms = std::unique_ptr<CMS_ContentInfo, Frei<CMS_ContentInfo_free>>;
using Store = std::unique_ptr<X509_STORE, Frei<X509_STORE_free>>;
using StoreCtx = std::unique_ptr<X509_STORE_CTX, Frei<X509_STORE_CTX_free>>;
using Schluessel = std::unique_ptr<EVP_PKEY, Frei<EVP_PKEY_free>>;
using Zeit = std::unique_ptr<ASN1_TIME, Frei<ASN1_TIME_free>>;

struct ZertifikatsStapelFrei {
  void operator()(STACK_OF(X509) * s) const { sk_X509_pop_free(s, X509_free); }
};
using Stapel = std::unique_ptr<STACK_OF(X509), ZertifikatsStapelFrei>;

Bio speicher(std::string_view daten) {
  if (daten.size() > INT_MAX) return Bio(nullptr);
  return Bio(BIO_new_mem_buf(daten.data(), static_cast<int>(daten.size())));
}

std::string opensslFehler() {
  const unsigned long code = ERR_peek_last_error();
  ERR_clear_error();
  if (code == 0) return "unbekannt";
  char text[256];
  ERR_error_string_n(code, text, sizeof text);
  return text;
}

// Never prompt on a terminal: an encrypted key simply does not load.
int ohnePasswort(char*, int, int, void*) { return 0; }

std::optional<std::time_t> signierzeit(CMS_SignerInfo* si) {
  const int stelle = CMS_signed_get_attr_by_NID(si, NID_pkcs9_signingTime, -1);
  if (stelle < 0) return std::nullopt;
  // A second signing time would leave it open which one counts.
  if (CMS_signed_get_attr_by_NID(si, NID_pkcs9_signingTime, stelle) >= 0) return std::nullopt;
  X509_ATTRIBUTE* attribut = CMS_signed_get_attr(si, stelle);
  if (!attribut || X509_ATTRIBUTE_count(attribut) != 1) return std::nullopt;
  const ASN1_TYPE* wert = X509_ATTRIBUTE_get0_type(attribut, 0);
  if (!wert || (wert->type != V_ASN1_UTCTIME && wert->type != V_ASN1_GENERALIZEDTIME)) return std::nullopt;
  std::tm t{};
  if (ASN1_TIME_to_tm(wert->value.utctime, &t) != 1) return std::nullopt;
  return ::timegm(&t);
}

std::vector<std::string> einheiten(X509* zert) {
  std::vector<std::string> liste;
  const X509_NAME* name = X509_get_subject_name(zert);
  for (int i = X509_NAME_get_index_by_NID(name, NID_organizationalUnitName, -1); i >= 0;
       i = X509_NAME_get_index_by_NID(name, NID_organizationalUnitName, i)) {
    unsigned char* utf8 = nullptr;
    const int laenge = ASN1_STRING_to_UTF8(&utf8, X509_NAME_ENTRY_get_data(X509_NAME_get_entry(name, i)));
    if (laenge >= 0) liste.emplace_back(reinterpret_cast<char*>(utf8), static_cast<std::size_t>(laenge));
    OPENSSL_free(utf8);
  }
  return liste;
}

std::optional<std::string> verwendungFehlt(X509* zert) {
  const uint32_t erweiterungen = X509_get_extension_flags(zert);
  if (!(erweiterungen & EXFLAG_XKUSAGE) || !(X509_get_extended_key_usage(zert) & XKU_CODE_SIGN))
    return "Das Zertifikat des Unterzeichners ist nicht für Codesignaturen bestimmt.";
  if (!(erweiterungen & EXFLAG_KUSAGE) || !(X509_get_key_usage(zert) & KU_DIGITAL_SIGNATURE))
    return "Das Zertifikat des Unterzeichners erlaubt keine digitalen Signaturen.";
  return std::nullopt;
}

// Chain from the signer to the anchor, at the signing time. No purpose is
// set (CMS's own chain check would demand e-mail protection); code signing is
// checked on its own.
void ketteBewerten(X509* zert, STACK_OF(X509) * zwischen, X509* anker, std::time_t zeit, Unterzeichner& u) {
  Store store(X509_STORE_new());
  StoreCtx ctx(X509_STORE_CTX_new());
  if (!anker || !store || !ctx || X509_STORE_add_cert(store.get(), anker) != 1 ||
      X509_STORE_CTX_init(ctx.get(), store.get(), zert, zwischen) != 1) {
    u.kettenfehler = anker ? opensslFehler() : "kein Stammzertifikat";
    return;
  }
  X509_VERIFY_PARAM_set_time(X509_STORE_CTX_get0_param(ctx.get()), zeit);
  if (X509_verify_cert(ctx.get()) == 1) {
    u.ketteZumAnker = true;
  } else {
    u.kettenfehler = X509_verify_cert_error_string(X509_STORE_CTX_get_error(ctx.get()));
  }
  ERR_clear_error();
}

}  // namespace

Zertifikat zertifikatLesen(std::string_view pem) {
  Bio bio = speicher(pem);
  Zertifikat zert(bio ? PEM_read_bio_X509(bio.get(), nullptr, nullptr, nullptr) : nullptr);
  ERR_clear_error();
  return zert;
}

CmsPruefung cmsPruefen(std::string_view daten, std::string_view der, X509* anker, std::time_t jetzt) {
  CmsPruefung p;
  Bio roh = speicher(der);
  Cms cms(roh ? d2i_CMS_bio(roh.get(), nullptr) : nullptr);
  if (!cms || OBJ_obj2nid(CMS_get0_type(cms.get())) != NID_pkcs7_signed || CMS_is_detached(cms.get()) != 1) {
    ERR_clear_error();
    p.fehler = "Die Signatur ist keine abgetrennte CMS-Signatur.";
    return p;
  }
  STACK_OF(CMS_SignerInfo)* infos = CMS_get0_SignerInfos(cms.get());
  if (!infos || sk_CMS_SignerInfo_num(infos) != 1) {
    p.fehler = "Die Signatur hat nicht genau einen Unterzeichner.";
    return p;
  }
  const auto zeit = signierzeit(sk_CMS_SignerInfo_value(infos, 0));
  if (!zeit) {
    p.fehler = "Die Signatur trägt keine eindeutige Signierzeit.";
    return p;
  }
  if (*zeit > jetzt + zeitSpielraum) {
    p.fehler = "Die Signierzeit der Signatur liegt in der Zukunft.";
    return p;
  }
  // Read through a buffer: given a memory BIO directly, OpenSSL 3.0 leaks its copy of it when the
  // signature names no usable digest.
  Bio inhalt = speicher(daten);
  Bio puffer(inhalt ? BIO_new(BIO_f_buffer()) : nullptr);
  if (puffer) BIO_push(puffer.get(), inhalt.get());
  const bool passt = puffer && CMS_verify(cms.get(), nullptr, nullptr, puffer.get(), nullptr,
                                          CMS_BINARY | CMS_NO_SIGNER_CERT_VERIFY) == 1;
  if (puffer) BIO_pop(puffer.get());
  if (!passt) {
    p.fehler = "Die Signatur passt nicht zur Liste der Dateien (" + opensslFehler() + ").";
    return p;
  }
  // A stack of its own holding borrowed certificates.
  STACK_OF(X509)* geliehen = CMS_get0_signers(cms.get());
  X509* zert = geliehen && sk_X509_num(geliehen) == 1 ? sk_X509_value(geliehen, 0) : nullptr;
  sk_X509_free(geliehen);
  if (!zert) {
    p.fehler = "Die Signatur hat nicht genau einen Unterzeichner.";
    return p;
  }
  if ((p.fehler = verwendungFehlt(zert))) return p;
  Stapel zwischen(CMS_get1_certs(cms.get()));
  ketteBewerten(zert, zwischen.get(), anker, *zeit, p.unterzeichner);
  p.unterzeichner.einheiten = einheiten(zert);
  return p;
}

CmsSignatur cmsSignieren(std::string_view daten, std::string_view schluesselPem,
                         std::string_view zertifikatPem, std::string_view kettePem,
                         std::optional<std::time_t> zeit) {
  CmsSignatur s;
  Bio schluesselBio = speicher(schluesselPem);
  Schluessel schluessel(
      schluesselBio ? PEM_read_bio_PrivateKey(schluesselBio.get(), nullptr, ohnePasswort, nullptr) : nullptr);
  Zertifikat zert = zertifikatLesen(zertifikatPem);
  if (!schluessel || !zert) {
    s.fehler = "Schlüssel oder Zertifikat nicht lesbar (" + opensslFehler() + ").";
    return s;
  }
  Stapel kette(sk_X509_new_null());
  Bio ketteBio = speicher(kettePem);
  while (ketteBio && kette) {
    X509* x = PEM_read_bio_X509(ketteBio.get(), nullptr, nullptr, nullptr);
    if (!x) break;
    sk_X509_push(kette.get(), x);
  }
  ERR_clear_error();
  Bio inhalt = speicher(daten);
  const unsigned flags = CMS_BINARY | CMS_DETACHED | CMS_NOSMIMECAP | CMS_PARTIAL;
  Cms cms(inhalt ? CMS_sign(zert.get(), schluessel.get(), kette.get(), nullptr, flags) : nullptr);
  if (cms && zeit) {
    CMS_SignerInfo* si = sk_CMS_SignerInfo_value(CMS_get0_SignerInfos(cms.get()), 0);
    Zeit wann(X509_time_adj_ex(nullptr, 0, 0, &*zeit));
    if (!wann || CMS_signed_add1_attr_by_NID(si, NID_pkcs9_signingTime, wann->type, wann.get(), -1) != 1)
      cms.reset();
  }
  if (!cms || CMS_final(cms.get(), inhalt.get(), nullptr, flags) != 1) {
    s.fehler = "Signieren fehlgeschlagen (" + opensslFehler() + ").";
    return s;
  }
  unsigned char* der = nullptr;
  const int laenge = i2d_CMS_ContentInfo(cms.get(), &der);
  if (laenge <= 0) {
    s.fehler = "Signieren fehlgeschlagen (" + opensslFehler() + ").";
    return s;
  }
  s.der.assign(reinterpret_cast<char*>(der), static_cast<std::size_t>(laenge));
  OPENSSL_free(der);
  return s;
}

}  // namespace tw
