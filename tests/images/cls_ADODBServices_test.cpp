#include "images/cls_ADODBServices.h"

#include <gtest/gtest.h>
#include <stb/stb_image_write.h>

#include <cstdlib>
#include <filesystem>
#include <random>
#include <set>

#include "app/VentanaFalsa.h"
#include "common/Plataforma.h"
#include "db/Recordset.h"
#include "support/CarpetaTemporal.h"

namespace varlo {
namespace {

namespace fs = std::filesystem;
using db::Bytes;

// A one-row recordset over plain values that records the sizes of the
// pieces its binary fields are written and read in.
class RecordsetFalso : public db::Recordset {
 public:
  std::vector<db::Valor> valores = std::vector<db::Valor>(2);
  std::vector<std::size_t> anadidos, pedidos;

  int State() const override { return 1; }
  bool BOF() const override { return false; }
  bool EOF_() const override { return false; }
  void MoveNext() override {}
  long RecordCount() const override { return 1; }
  long AbsolutePosition() const override { return 1; }
  int FieldCount() const override { return 2; }
  const db::InfoCampo& Field(int) const override { return info_; }
  int IndiceCampo(std::string_view) const override { return 0; }
  const db::Valor& Value(int i) const override { return valores.at(i); }
  void AddNew() override {}
  void AsignaTexto(int i, const std::string& t) override { valores.at(i) = t; }
  void Asigna(int i, const db::Valor& v) override { valores.at(i) = v; }
  void AppendChunk(int i, const Bytes& trozo) override {
    anadidos.push_back(trozo.size());
    if (!std::holds_alternative<Bytes>(valores.at(i))) valores.at(i) = Bytes{};
    auto& b = std::get<Bytes>(valores.at(i));
    b.insert(b.end(), trozo.begin(), trozo.end());
  }
  Bytes GetChunk(int i, std::size_t cuantos) override {
    pedidos.push_back(cuantos);
    const auto& b = std::get<Bytes>(valores.at(i));
    const std::size_t hasta = std::min(leidos_ + cuantos, b.size());
    Bytes r(b.begin() + static_cast<long>(leidos_), b.begin() + static_cast<long>(hasta));
    leidos_ = hasta;
    return r;
  }
  long ActualSize(int i) const override {
    const auto* b = std::get_if<Bytes>(&valores.at(i));
    return b ? static_cast<long>(b->size()) : 0;
  }
  void Update() override {}
  void CancelUpdate() override {}
  int EditMode() const override { return adEditNone; }
  void Close() override {}

 private:
  db::InfoCampo info_{"C", 205, 0};
  std::size_t leidos_ = 0;
};

class ServiciosImagen : public ::testing::Test {
 protected:
  void SetUp() override { EstableceCarpetaPrograma(programa.Ruta()); }
  prueba::CarpetaTemporal programa, datos;
  VentanaFalsa ventana;
  cls_ADODBServices servicios{ventana};
  RecordsetFalso rs;
};

TEST_F(ServiciosImagen, PutImageInFieldTomaElArchivoEnteroOLoDejaComoEstaba) {
  const std::string foto = datos.Archivo("foto.jpg"), vacio = datos.Archivo("vacio.jpg");
  prueba::EscribeBytes(foto, std::string("\xFF\xD8\0\x01", 4));
  prueba::EscribeBytes(vacio, "");
  EXPECT_TRUE(servicios.PutImageInField(rs, 1, foto));
  EXPECT_EQ(std::get<Bytes>(rs.valores[1]), (Bytes{0xFF, 0xD8, 0, 1}));
  // An empty file gives an empty byte array, not NULL.
  EXPECT_TRUE(servicios.PutImageInField(rs, 0, vacio));
  EXPECT_EQ(std::get<Bytes>(rs.valores[0]), Bytes{});
  EXPECT_TRUE(ventana.mensajes.empty());
  // A missing file is reported and the field keeps its value.
  const std::string falta = datos.Archivo("no-existe.jpg");
  EXPECT_FALSE(servicios.PutImageInField(rs, 1, falta));
  ASSERT_EQ(ventana.mensajes.size(), 1u);
  EXPECT_EQ(ventana.mensajes[0].texto, "ERROR: No se encontró el archivo (" + falta + ")");
  EXPECT_EQ(std::get<Bytes>(rs.valores[1]), (Bytes{0xFF, 0xD8, 0, 1}));
}

// The remainder goes first, then whole 1024-byte chunks, both ways.
TEST_F(ServiciosImagen, PorTrozosConElRestoPrimero) {
  const std::vector<std::pair<std::size_t, std::vector<std::size_t>>> casos = {
      {1024, {0, 1024}}, {1500, {476, 1024}}, {3000, {952, 1024, 1024}}};
  for (const auto& [tamano, trozos] : casos) {
    SCOPED_TRACE(tamano);
    std::string contenido;
    for (std::size_t i = 0; i < tamano; ++i) contenido += static_cast<char>(i * 7 + i / 256);
    prueba::EscribeBytes(datos.Archivo("grande.bin"), contenido);
    RecordsetFalso r;
    r.valores[0] = Bytes{1, 2, 3};
    EXPECT_TRUE(servicios.PutLargeImageInField(r, 0, datos.Archivo("grande.bin")));
    EXPECT_EQ(r.anadidos, trozos);
    EXPECT_EQ(std::get<Bytes>(r.valores[0]), Bytes(contenido.begin(), contenido.end()));
  }

  // An incompressible picture spanning several chunks comes back pixel for pixel.
  Imagen original{40, 20, 3, {}};
  std::mt19937 g(7);
  for (int i = 0; i < 40 * 20 * 3; ++i) original.pixeles.push_back(static_cast<unsigned char>(g()));
  const std::string png = datos.Archivo("ruido.png");
  ASSERT_NE(stbi_write_png(png.c_str(), 40, 20, 3, original.pixeles.data(), 120), 0);
  const std::size_t n = fs::file_size(png);
  EXPECT_TRUE(servicios.PutLargeImageInField(rs, 1, png));
  std::optional<Imagen> leida = servicios.GetLargeImageFromField(rs, 1);
  ASSERT_TRUE(leida.has_value());
  EXPECT_EQ(leida->pixeles, original.pixeles);
  std::vector<std::size_t> esperados(n / 1024 + 1, 1024);
  esperados[0] = n % 1024;
  EXPECT_EQ(rs.pedidos, esperados);
  EXPECT_TRUE(ventana.mensajes.empty());
  for (const auto& e : fs::directory_iterator(programa.Ruta())) ADD_FAILURE() << e.path();
}

TEST_F(ServiciosImagen, NombresTemporalesExclusivos) {
  // in $TMPDIR, never beside the program
  prueba::CarpetaTemporal temporales;
  const char* antes = std::getenv("TMPDIR");
  const std::string anterior = antes ? antes : "";
  setenv("TMPDIR", temporales.Ruta().c_str(), 1);
  std::set<std::string> nombres;
  for (int i = 0; i < 100; ++i) {
    const std::string n = servicios.BuildTempFileName();
    EXPECT_EQ(fs::path(n).parent_path(), fs::path(temporales.Ruta()));
    EXPECT_TRUE(fs::is_regular_file(n)) << n;
    nombres.insert(n);
  }
  EXPECT_EQ(nombres.size(), 100u);
  // Same seed, same proposals: the second passes over the file the first made.
  VentanaFalsa otra;
  cls_ADODBServices primero(otra, 42), segundo(otra, 42);
  const std::string tomado = primero.BuildTempFileName();
  prueba::EscribeBytes(tomado, "en uso");
  EXPECT_NE(segundo.BuildTempFileName(), tomado);
  EXPECT_EQ(prueba::LeeBytes(tomado), "en uso");
  if (antes)
    setenv("TMPDIR", anterior.c_str(), 1);
  else
    unsetenv("TMPDIR");
}

}  // namespace
}  // namespace varlo
